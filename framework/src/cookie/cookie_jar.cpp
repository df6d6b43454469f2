#include "cookie/cookie_jar.hpp"

#include "core/string.hpp"

#include <cstdlib>
#include <new>

namespace bw {

namespace {

// The records an operation hands to the lower layer; they belong to it from then on. They come
// from malloc, so that the lower layer can release one it has no use for.
struct CookieStorageCallbackData {
	CookieStorageCompletion callback;
	void* data;
};

struct CookieDeleteCallbackData {
	CookieDeleteCompletion callback;
	void* data;
};

template <class Record>
Record* new_record(Record record) {
	auto* allocated = static_cast<Record*>(std::malloc(sizeof(Record)));
	if (allocated == nullptr) throw std::bad_alloc();
	*allocated = record;
	return allocated;
}

// A URL that the cookie is sent to, to delete it by: its domain's host and its own path.
std::optional<std::string> url_of(const Cookie& cookie) {
	std::string host(cookie.domain().view());
	if (!host.empty() && host.front() == '.') host.erase(0, 1);
	if (host.empty()) return std::nullopt;
	std::string url = "https://";
	bool ipv6 = host.find(':') != std::string::npos;
	if (ipv6) url += '[';
	url += host;
	if (ipv6) url += ']';
	std::string_view path = cookie.path().view();
	if (path.empty() || path.front() != '/') url += '/';
	url += path;
	return url;
}

} // namespace

extern "C" void ffi_cookie_storage_callback_handler(bw_CookieJar* jar, void* data, bw_Err error) {
	CookieStorageCallbackData record = *static_cast<CookieStorageCallbackData*>(data);
	std::free(data);
	CookieStoreResult result = error.code == 0 ? CookieStoreResult::success() : CookieStoreResult(CookieStorageError::Unknown);
	bw_Err_free(&error);
	record.callback(jar, record.data, result);
}

extern "C" void ffi_cookie_delete_callback_handler(bw_CookieJar* jar, void* data, uint32_t deleted) {
	CookieDeleteCallbackData record = *static_cast<CookieDeleteCallbackData*>(data);
	std::free(data);
	record.callback(jar, record.data, static_cast<std::size_t>(deleted));
}

CookieJarImpl& CookieJarImpl::operator=(CookieJarImpl&& other) noexcept {
	if (this != &other) {
		bw_CookieJar_free(inner_);
		inner_ = std::exchange(other.inner_, nullptr);
	}
	return *this;
}

std::optional<CookieJarImpl> CookieJarImpl::global() {
	bw_CookieJar* inner = bw_CookieJar_newGlobal();
	if (inner == nullptr) return std::nullopt;
	return CookieJarImpl(inner);
}

CookieIteratorImpl CookieJarImpl::iterator(std::string_view url, bool include_http_only) const {
	bw_CookieIterator* iterator = nullptr;
	bw_CookieJar_iterator(inner_, &iterator, include_http_only ? 1 : 0, to_cstr_slice(url));
	return CookieIteratorImpl(iterator);
}

CookieIteratorImpl CookieJarImpl::iterator_all() const {
	bw_CookieIterator* iterator = nullptr;
	bw_CookieJar_iteratorAll(inner_, &iterator);
	return CookieIteratorImpl(iterator);
}

void CookieJarImpl::store(std::string_view url, const CookieImpl& cookie, CookieStorageCompletion completion, void* user_data) const {
	CookieStorageCallbackData* record = completion != nullptr ? new_record(CookieStorageCallbackData{completion, user_data}) : nullptr;
	bw_Err error = bw_CookieJar_store(inner_, to_cstr_slice(url), cookie.inner(), completion != nullptr ? ffi_cookie_storage_callback_handler : nullptr,
	                                  record);
	if (completion != nullptr && error.code != 0) completion(inner_, user_data, CookieStorageError::Unknown);
	bw_Err_free(&error);
}

void CookieJarImpl::delete_(std::string_view url, std::string_view name, CookieDeleteCompletion completion, void* user_data) const {
	bw_CookieJar_delete(inner_, to_cstr_slice(url), to_cstr_slice(name), ffi_cookie_delete_callback_handler,
	                    new_record(CookieDeleteCallbackData{completion, user_data}));
}

bool CookieStoreFuture::poll(const Waker& waker) {
	if (!completion_) {
		completion_.emplace();
		jar_->store(
		    url_, cookie_,
		    [](bw_CookieJar*, void* user_data, CookieStoreResult result) { cookie_detail::Completion<Output>::complete(user_data, result); },
		    completion_->user_data());
	}
	return completion_->poll(waker);
}

bool CookieDeleteFuture::poll(const Waker& waker) {
	if (!completion_) {
		completion_.emplace();
		jar_->delete_(
		    url_, name_,
		    [](bw_CookieJar*, void* user_data, std::size_t deleted) { cookie_detail::Completion<Output>::complete(user_data, deleted); },
		    completion_->user_data());
	}
	return completion_->poll(waker);
}

std::optional<CookieJar> CookieJar::global() {
	std::optional<CookieJarImpl> inner = CookieJarImpl::global();
	if (!inner) return std::nullopt;
	return CookieJar(std::move(*inner));
}

Task<std::size_t> CookieJar::delete_all(std::string name) const { return delete_all_in(*this, std::move(name)); }

Task<std::size_t> CookieJar::clear_all() const { return clear_all_in(*this); }

Task<std::optional<Cookie>> CookieJar::find(std::string url, std::string name, bool include_http_only) const {
	return find_in(*this, std::move(url), std::move(name), include_http_only);
}

Task<std::optional<Cookie>> CookieJar::find_from_all(std::string name) const { return find_from_all_in(*this, std::move(name)); }

Task<std::size_t> CookieJar::delete_all_in(CookieJar jar, std::string name) {
	std::size_t deleted = 0;
	CookieIterator cookies = jar.iter_all();
	while (std::optional<Cookie> cookie = co_await cookies.next()) {
		if (cookie->name() != name) continue;
		if (std::optional<std::string> url = url_of(*cookie)) deleted += co_await jar.delete_(*url, name);
	}
	co_return deleted;
}

Task<std::size_t> CookieJar::clear_all_in(CookieJar jar) {
	std::size_t deleted = 0;
	CookieIterator cookies = jar.iter_all();
	while (std::optional<Cookie> cookie = co_await cookies.next())
		if (std::optional<std::string> url = url_of(*cookie)) deleted += co_await jar.delete_(*url, cookie->name().view());
	co_return deleted;
}

Task<std::optional<Cookie>> CookieJar::find_in(CookieJar jar, std::string url, std::string name, bool include_http_only) {
	CookieIterator cookies = jar.iter(url, include_http_only);
	while (std::optional<Cookie> cookie = co_await cookies.next())
		if (cookie->name() == name) co_return std::move(cookie);
	co_return std::nullopt;
}

Task<std::optional<Cookie>> CookieJar::find_from_all_in(CookieJar jar, std::string name) {
	CookieIterator cookies = jar.iter_all();
	while (std::optional<Cookie> cookie = co_await cookies.next())
		if (cookie->name() == name) co_return std::move(cookie);
	co_return std::nullopt;
}

} // namespace bw
