#include "cookie/cookie_iterator.hpp"

#include <cstdlib>
#include <new>

namespace bw {

namespace {

// The record a next step hands to the lower layer; it belongs to the lower layer from then on.
struct CookieIteratorNextCallbackData {
	CookieIteratorNextCompletion callback;
	void* data;
};

} // namespace

extern "C" void ffi_cookie_iterator_next_handler(bw_CookieIterator* iterator, void* data, bw_Cookie* cookie) {
	CookieIteratorNextCallbackData record = *static_cast<CookieIteratorNextCallbackData*>(data);
	std::free(data);
	std::optional<Cookie> next;
	if (cookie != nullptr) next.emplace(CookieImpl(cookie));
	record.callback(iterator, record.data, std::move(next));
}

CookieIteratorImpl& CookieIteratorImpl::operator=(CookieIteratorImpl&& other) noexcept {
	if (this != &other) {
		bw_CookieIterator_free(inner_);
		inner_ = std::exchange(other.inner_, nullptr);
	}
	return *this;
}

bool CookieIteratorImpl::next(CookieIteratorNextCompletion completion, void* user_data) const {
	// From malloc: the lower layer releases it with free when it has no use for it.
	auto* record = static_cast<CookieIteratorNextCallbackData*>(std::malloc(sizeof(CookieIteratorNextCallbackData)));
	if (record == nullptr) throw std::bad_alloc();
	*record = CookieIteratorNextCallbackData{completion, user_data};
	return bw_CookieIterator_next(inner_, ffi_cookie_iterator_next_handler, record) > 0;
}

bool CookieNextFuture::poll(const Waker& waker) {
	if (!completion_) {
		completion_.emplace();
		bool fetching = iterator_->next(
		    [](bw_CookieIterator*, void* user_data, std::optional<Cookie> cookie) {
			    cookie_detail::Completion<Output>::complete(user_data, std::move(cookie));
		    },
		    completion_->user_data());
		if (!fetching) cookie_detail::Completion<Output>::complete(completion_->user_data(), std::nullopt);
	}
	return completion_->poll(waker);
}

} // namespace bw
