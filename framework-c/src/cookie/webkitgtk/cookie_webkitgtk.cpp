// WebKitGTK cookies: libsoup cookies, and the cookie manager of the default web context for the
// global jar. The manager answers through the GLib main loop of the GUI thread, which the
// application's message loop iterates; so does every handler here.
#include "../cookie_record.h"

#include "../../assertion.h"

#include <webkit2/webkit2.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

namespace {

struct CookieData {
	SoupCookie* soup;
	// libsoup keeps no creation time; the engine reports none, so cookies read from a jar have 0.
	uint64_t creation_time;
};

struct JarData {
	WebKitCookieManager* manager;
	unsigned refs; // the owner's and one per pending operation
};

struct NextRequest {
	bw_CookieIteratorNextCallbackFn handler;
	void* data;
};

struct IteratorData {
	enum class State { Unfetched, Fetching, Fetched };

	WebKitCookieManager* manager;
	std::optional<std::string> url; // none: all cookies
	bool include_http_only;
	unsigned refs; // the owner's, the fetch's and one per scheduled delivery
	State state;
	// Fetched and not yet handed out.
	std::deque<SoupCookie*> cookies;
	// Calls of next made while the listing was being fetched.
	std::deque<NextRequest> waiting;
};

CookieData* cookieData(const bw_CookieImpl* impl) { return static_cast<CookieData*>(impl->__); }
JarData* jarData(bw_CookieJar* jar) { return static_cast<JarData*>(jar->impl_.__); }
IteratorData* iteratorData(bw_CookieIterator* iterator) { return static_cast<IteratorData*>(iterator->impl_.__); }

std::string toString(bw_CStrSlice text) { return text.len == 0 ? std::string() : std::string(text.data, text.len); }

// Cookie texts are C strings: a text is cut at a NUL, as libsoup would read it.
std::string toCookieText(bw_CStrSlice text) {
	std::string copy = toString(text);
	copy.resize(std::strlen(copy.c_str()));
	return copy;
}

uint64_t nowMilliseconds() { return static_cast<uint64_t>(g_get_real_time() / 1000); }

uint64_t toMilliseconds(GDateTime* time) {
	int64_t milliseconds = g_date_time_to_unix(time) * 1000 + g_date_time_get_microsecond(time) / 1000;
	// An expiry at or before 1970 is long past all the same, where 0 would read as no expiry.
	return milliseconds > 0 ? static_cast<uint64_t>(milliseconds) : 1;
}

// Past the end of year 9999, GDateTime's last day, the time stays there.
GDateTime* toDateTime(uint64_t milliseconds) {
	GDateTime* seconds = g_date_time_new_from_unix_utc(static_cast<int64_t>(milliseconds / 1000));
	if (seconds == nullptr) return g_date_time_new_utc(9999, 12, 31, 23, 59, 59.999);
	GDateTime* exact = g_date_time_add(seconds, static_cast<GTimeSpan>(milliseconds % 1000) * 1000);
	if (exact == nullptr) return seconds;
	g_date_time_unref(seconds);
	return exact;
}

// A URL that cookies can be stored for: it has a host.
struct Target {
	std::string url;
	std::string host;
	std::string path;
};

std::optional<Target> parseTarget(bw_CStrSlice url) {
	Target target{toString(url), {}, {}};
	if (target.url.find('\0') != std::string::npos) return std::nullopt;
	GUri* uri = g_uri_parse(target.url.c_str(), G_URI_FLAGS_NONE, nullptr);
	if (uri == nullptr) return std::nullopt;
	const char* host = g_uri_get_host(uri);
	if (host != nullptr) target.host = host;
	target.path = g_uri_get_path(uri);
	g_uri_unref(uri);
	if (target.host.empty()) return std::nullopt;
	return target;
}

// The directory of the URL's path, the path a cookie gets when it names none.
std::string defaultPath(const std::string& path) {
	std::size_t last = path.rfind('/');
	if (path.empty() || path[0] != '/' || last == 0) return "/";
	return path.substr(0, last);
}

void retainJar(bw_CookieJar* jar) { jarData(jar)->refs += 1; }

void releaseJar(bw_CookieJar* jar) {
	JarData* data = jarData(jar);
	if (--data->refs > 0) return;
	g_object_unref(data->manager);
	delete data;
	std::free(jar);
}

void retainIterator(bw_CookieIterator* iterator) { iteratorData(iterator)->refs += 1; }

void releaseIterator(bw_CookieIterator* iterator) {
	IteratorData* data = iteratorData(iterator);
	if (--data->refs > 0) return;
	for (SoupCookie* cookie : data->cookies) soup_cookie_free(cookie);
	g_object_unref(data->manager);
	delete data;
	std::free(iterator);
}

bw_Cookie* wrapCookie(SoupCookie* soup, uint64_t creation_time) { return bw_Cookie_wrap(new CookieData{soup, creation_time}); }

// Store ---------------------------------------------------------------------------------------

struct StoreOperation {
	bw_CookieJar* jar;
	bw_CookieJarStorageCallbackFn handler;
	void* data;
};

void storeDone(GObject* source, GAsyncResult* result, gpointer user_data) {
	auto* operation = static_cast<StoreOperation*>(user_data);
	GError* error = nullptr;
	bw_Err outcome = bw_Err_success();
	if (!webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, &error)) {
		outcome = bw_Err_new_with_msg(1, error != nullptr ? error->message : "unable to store the cookie");
		if (error != nullptr) g_error_free(error);
	}
	if (operation->handler != nullptr) {
		operation->handler(operation->jar, operation->data, outcome);
	} else {
		bw_Err_free(&outcome);
		std::free(operation->data);
	}
	releaseJar(operation->jar);
	delete operation;
}

// Delete --------------------------------------------------------------------------------------

struct DeleteOperation {
	bw_CookieJar* jar;
	bw_CookieJarDeleteCallbackFn handler;
	void* data;
	std::string name;
	unsigned pending;
	uint32_t deleted;
};

void finishDelete(DeleteOperation* operation) {
	if (operation->handler != nullptr)
		operation->handler(operation->jar, operation->data, operation->deleted);
	else
		std::free(operation->data);
	releaseJar(operation->jar);
	delete operation;
}

gboolean finishDeleteLater(gpointer user_data) {
	finishDelete(static_cast<DeleteOperation*>(user_data));
	return G_SOURCE_REMOVE;
}

void cookieDeleted(GObject* source, GAsyncResult* result, gpointer user_data) {
	auto* operation = static_cast<DeleteOperation*>(user_data);
	if (webkit_cookie_manager_delete_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr)) operation->deleted += 1;
	if (--operation->pending == 0) finishDelete(operation);
}

void cookiesToDeleteListed(GObject* source, GAsyncResult* result, gpointer user_data) {
	auto* operation = static_cast<DeleteOperation*>(user_data);
	auto* manager = WEBKIT_COOKIE_MANAGER(source);
	GList* cookies = webkit_cookie_manager_get_cookies_finish(manager, result, nullptr);
	// Counted before the first deletion starts, so that none can finish the operation early.
	for (GList* item = cookies; item != nullptr; item = item->next)
		if (operation->name == soup_cookie_get_name(static_cast<SoupCookie*>(item->data))) operation->pending += 1;
	if (operation->pending == 0) {
		finishDelete(operation);
	} else {
		for (GList* item = cookies; item != nullptr; item = item->next) {
			auto* cookie = static_cast<SoupCookie*>(item->data);
			// The manager copies what it needs of the cookie at once.
			if (operation->name == soup_cookie_get_name(cookie)) webkit_cookie_manager_delete_cookie(manager, cookie, nullptr, cookieDeleted, operation);
		}
	}
	g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
}

// Iteration -----------------------------------------------------------------------------------

void deliver(bw_CookieIterator* iterator, NextRequest request, SoupCookie* soup) {
	bw_Cookie* cookie = soup != nullptr ? wrapCookie(soup, 0) : nullptr;
	if (request.handler != nullptr) {
		request.handler(iterator, request.data, cookie);
	} else {
		bw_Cookie_free(cookie);
		std::free(request.data);
	}
}

struct Delivery {
	bw_CookieIterator* iterator;
	NextRequest request;
	SoupCookie* cookie;
};

gboolean deliverLater(gpointer user_data) {
	auto* delivery = static_cast<Delivery*>(user_data);
	deliver(delivery->iterator, delivery->request, delivery->cookie);
	releaseIterator(delivery->iterator);
	delete delivery;
	return G_SOURCE_REMOVE;
}

void listingFetched(GObject* source, GAsyncResult* result, gpointer user_data) {
	auto* iterator = static_cast<bw_CookieIterator*>(user_data);
	IteratorData* data = iteratorData(iterator);
	auto* manager = WEBKIT_COOKIE_MANAGER(source);
	GList* cookies = data->url ? webkit_cookie_manager_get_cookies_finish(manager, result, nullptr)
	                           : webkit_cookie_manager_get_all_cookies_finish(manager, result, nullptr);
	for (GList* item = cookies; item != nullptr; item = item->next) {
		auto* cookie = static_cast<SoupCookie*>(item->data);
		if (data->include_http_only || !soup_cookie_get_http_only(cookie))
			data->cookies.push_back(cookie);
		else
			soup_cookie_free(cookie);
	}
	g_list_free(cookies);
	data->state = IteratorData::State::Fetched;

	// A handler may call next again or release the iterator; the fetch's reference keeps it.
	while (!data->waiting.empty()) {
		NextRequest request = data->waiting.front();
		data->waiting.pop_front();
		SoupCookie* cookie = nullptr;
		if (!data->cookies.empty()) {
			cookie = data->cookies.front();
			data->cookies.pop_front();
		}
		deliver(iterator, request, cookie);
	}
	releaseIterator(iterator);
}

void* newIterator(bw_CookieJar* jar, std::optional<std::string> url, bool include_http_only) {
	auto* data = new IteratorData{jarData(jar)->manager, std::move(url), include_http_only, 1, IteratorData::State::Unfetched, {}, {}};
	g_object_ref(data->manager);
	return data;
}

} // namespace

extern "C" {

void* bw_CookieEngineImpl_new(bw_CStrSlice name, bw_CStrSlice value) {
	SoupCookie* soup = soup_cookie_new(toCookieText(name).c_str(), toCookieText(value).c_str(), "", "", -1);
	BW_ASSERT(soup != nullptr, "unable to make a cookie");
	return new CookieData{soup, nowMilliseconds()};
}

void bw_CookieEngineImpl_free(bw_CookieImpl* impl) {
	CookieData* data = cookieData(impl);
	soup_cookie_free(data->soup);
	delete data;
}

uint64_t bw_CookieEngineImpl_getCreationTime(const bw_CookieImpl* impl) { return cookieData(impl)->creation_time; }

uint64_t bw_CookieEngineImpl_getExpires(const bw_CookieImpl* impl) {
	GDateTime* expires = soup_cookie_get_expires(cookieData(impl)->soup);
	return expires != nullptr ? toMilliseconds(expires) : 0;
}

int32_t bw_CookieEngineImpl_getText(const bw_CookieImpl* impl, char which, bw_StrSlice* out) {
	SoupCookie* soup = cookieData(impl)->soup;
	const char* text = nullptr;
	switch (which) {
	case 'n': text = soup_cookie_get_name(soup); break;
	case 'v': text = soup_cookie_get_value(soup); break;
	case 'd': text = soup_cookie_get_domain(soup); break;
	case 'p': text = soup_cookie_get_path(soup); break;
	default: BW_ASSERT(false, "unknown cookie text '%c'", which);
	}
	// Borrowed: the cookie keeps its texts until it changes or goes.
	*out = text != nullptr && *text != '\0' ? bw_StrSlice{std::strlen(text), const_cast<char*>(text)} : bw_StrSlice{0, nullptr};
	return 0;
}

void bw_CookieEngineImpl_setText(bw_CookieImpl* impl, char which, bw_CStrSlice text) {
	SoupCookie* soup = cookieData(impl)->soup;
	std::string copy = toCookieText(text);
	switch (which) {
	case 'n': soup_cookie_set_name(soup, copy.c_str()); break;
	case 'v': soup_cookie_set_value(soup, copy.c_str()); break;
	case 'd': soup_cookie_set_domain(soup, copy.c_str()); break;
	case 'p': soup_cookie_set_path(soup, copy.c_str()); break;
	default: BW_ASSERT(false, "unknown cookie text '%c'", which);
	}
}

bw_Bool32 bw_CookieEngineImpl_isHttpOnly(const bw_CookieImpl* impl) { return soup_cookie_get_http_only(cookieData(impl)->soup) ? 1 : 0; }
bw_Bool32 bw_CookieEngineImpl_isSecure(const bw_CookieImpl* impl) { return soup_cookie_get_secure(cookieData(impl)->soup) ? 1 : 0; }
void bw_CookieEngineImpl_makeHttpOnly(bw_CookieImpl* impl) { soup_cookie_set_http_only(cookieData(impl)->soup, TRUE); }
void bw_CookieEngineImpl_makeSecure(bw_CookieImpl* impl) { soup_cookie_set_secure(cookieData(impl)->soup, TRUE); }
void bw_CookieEngineImpl_setCreationTime(bw_CookieImpl* impl, uint64_t milliseconds) { cookieData(impl)->creation_time = milliseconds; }

void bw_CookieEngineImpl_setExpires(bw_CookieImpl* impl, uint64_t milliseconds) {
	SoupCookie* soup = cookieData(impl)->soup;
	if (milliseconds == 0) {
		soup_cookie_set_expires(soup, nullptr);
		return;
	}
	GDateTime* expires = toDateTime(milliseconds);
	soup_cookie_set_expires(soup, expires);
	g_date_time_unref(expires);
}

void* bw_CookieJarEngineImpl_newGlobal(void) {
	WebKitWebsiteDataManager* website_data = webkit_web_context_get_website_data_manager(webkit_web_context_get_default());
	WebKitCookieManager* manager = webkit_website_data_manager_get_cookie_manager(website_data);
	if (manager == nullptr) return nullptr;
	return new JarData{WEBKIT_COOKIE_MANAGER(g_object_ref(manager)), 1};
}

void bw_CookieJarEngineImpl_release(bw_CookieJar* jar) { releaseJar(jar); }

void* bw_CookieJarEngineImpl_iterator(bw_CookieJar* jar, bw_Bool32 include_http_only, bw_CStrSlice url) {
	std::optional<Target> target = parseTarget(url);
	auto* data = static_cast<IteratorData*>(newIterator(jar, target ? target->url : std::string(), include_http_only > 0));
	// No cookie is sent to a URL without a host: the listing is empty from the start.
	if (!target) data->state = IteratorData::State::Fetched;
	return data;
}

void* bw_CookieJarEngineImpl_iteratorAll(bw_CookieJar* jar) { return newIterator(jar, std::nullopt, true); }

bw_Err bw_CookieJarEngineImpl_store(bw_CookieJar* jar, bw_CStrSlice url, const bw_Cookie* cookie, bw_CookieJarStorageCallbackFn handler,
                                    void* data) {
	std::optional<Target> target = parseTarget(url);
	if (!target) return bw_Err_new_with_msg(1, "invalid URL: a cookie needs a URL with a host");

	SoupCookie* copy = soup_cookie_copy(cookieData(&cookie->impl_)->soup);
	const char* domain = soup_cookie_get_domain(copy);
	if (domain == nullptr || *domain == '\0') {
		soup_cookie_set_domain(copy, target->host.c_str());
	} else if (!soup_cookie_domain_matches(copy, target->host.c_str())) {
		soup_cookie_free(copy);
		return bw_Err_new_with_msg(2, "the cookie's domain does not cover the URL's host");
	}
	const char* path = soup_cookie_get_path(copy);
	if (path == nullptr || *path == '\0') soup_cookie_set_path(copy, defaultPath(target->path).c_str());

	retainJar(jar);
	// The manager copies the cookie at once.
	webkit_cookie_manager_add_cookie(jarData(jar)->manager, copy, nullptr, storeDone, new StoreOperation{jar, handler, data});
	soup_cookie_free(copy);
	return bw_Err_success();
}

bw_Bool32 bw_CookieJarEngineImpl_delete(bw_CookieJar* jar, bw_CStrSlice url, bw_CStrSlice name, bw_CookieJarDeleteCallbackFn handler,
                                        void* data) {
	retainJar(jar);
	auto* operation = new DeleteOperation{jar, handler, data, toCookieText(name), 0, 0};
	std::optional<Target> target = parseTarget(url);
	if (target)
		webkit_cookie_manager_get_cookies(jarData(jar)->manager, target->url.c_str(), nullptr, cookiesToDeleteListed, operation);
	else
		// Nothing is deleted for such a URL; the handler still comes later, as it always does.
		g_idle_add_full(G_PRIORITY_DEFAULT, finishDeleteLater, operation, nullptr);
	return 1;
}

int32_t bw_CookieIteratorEngineImpl_next(bw_CookieIterator* iterator, bw_CookieIteratorNextCallbackFn handler, void* data) {
	IteratorData* iterator_data = iteratorData(iterator);
	switch (iterator_data->state) {
	case IteratorData::State::Fetched: {
		if (iterator_data->cookies.empty()) return 0;
		SoupCookie* cookie = iterator_data->cookies.front();
		iterator_data->cookies.pop_front();
		// The handler comes later, as it does while the listing is being fetched.
		retainIterator(iterator);
		g_idle_add_full(G_PRIORITY_DEFAULT, deliverLater, new Delivery{iterator, NextRequest{handler, data}, cookie}, nullptr);
		return 1;
	}
	case IteratorData::State::Unfetched:
		iterator_data->state = IteratorData::State::Fetching;
		retainIterator(iterator);
		if (iterator_data->url)
			webkit_cookie_manager_get_cookies(iterator_data->manager, iterator_data->url->c_str(), nullptr, listingFetched, iterator);
		else
			webkit_cookie_manager_get_all_cookies(iterator_data->manager, nullptr, listingFetched, iterator);
		[[fallthrough]];
	case IteratorData::State::Fetching: iterator_data->waiting.push_back(NextRequest{handler, data}); return 1;
	}
	return 0;
}

void bw_CookieIteratorEngineImpl_release(bw_CookieIterator* iterator) { releaseIterator(iterator); }

} // extern "C"
