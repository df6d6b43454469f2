#include "cookie_record.h"

#include "../assertion.h"

#include <cstdlib>

namespace {

template <class Record>
Record* wrap(void* engine_data) {
	if (engine_data == nullptr) return nullptr;
	auto* record = static_cast<Record*>(std::malloc(sizeof(Record)));
	BW_ASSERT(record != nullptr, "out of memory");
	record->impl_.__ = engine_data;
	return record;
}

// What a getter hands out for a cookie that does not exist: the empty text, borrowed.
int32_t emptyText(bw_StrSlice* out) {
	*out = bw_StrSlice{0, nullptr};
	return 0;
}

} // namespace

extern "C" {

bw_Cookie* bw_Cookie_wrap(void* engine_data) { return wrap<bw_Cookie>(engine_data); }
bw_CookieJar* bw_CookieJar_wrap(void* engine_data) { return wrap<bw_CookieJar>(engine_data); }
bw_CookieIterator* bw_CookieIterator_wrap(void* engine_data) { return wrap<bw_CookieIterator>(engine_data); }

// An engine without cookies hands out no records, so every function below also takes null for a
// cookie, jar or iterator and then does nothing, finds nothing and reports emptiness.

bw_Cookie* bw_Cookie_new(bw_CStrSlice name, bw_CStrSlice value) { return bw_Cookie_wrap(bw_CookieEngineImpl_new(name, value)); }

void bw_Cookie_free(bw_Cookie* cookie) {
	if (cookie == nullptr) return;
	bw_CookieEngineImpl_free(&cookie->impl_);
	std::free(cookie);
}

uint64_t bw_Cookie_getCreationTime(const bw_Cookie* cookie) { return cookie ? bw_CookieEngineImpl_getCreationTime(&cookie->impl_) : 0; }
uint64_t bw_Cookie_getExpires(const bw_Cookie* cookie) { return cookie ? bw_CookieEngineImpl_getExpires(&cookie->impl_) : 0; }

int32_t bw_Cookie_getName(const bw_Cookie* cookie, bw_StrSlice* out) {
	return cookie ? bw_CookieEngineImpl_getText(&cookie->impl_, 'n', out) : emptyText(out);
}
int32_t bw_Cookie_getValue(const bw_Cookie* cookie, bw_StrSlice* out) {
	return cookie ? bw_CookieEngineImpl_getText(&cookie->impl_, 'v', out) : emptyText(out);
}
int32_t bw_Cookie_getDomain(const bw_Cookie* cookie, bw_StrSlice* out) {
	return cookie ? bw_CookieEngineImpl_getText(&cookie->impl_, 'd', out) : emptyText(out);
}
int32_t bw_Cookie_getPath(const bw_Cookie* cookie, bw_StrSlice* out) {
	return cookie ? bw_CookieEngineImpl_getText(&cookie->impl_, 'p', out) : emptyText(out);
}

bw_Bool32 bw_Cookie_isHttpOnly(const bw_Cookie* cookie) { return cookie ? bw_CookieEngineImpl_isHttpOnly(&cookie->impl_) : 0; }
bw_Bool32 bw_Cookie_isSecure(const bw_Cookie* cookie) { return cookie ? bw_CookieEngineImpl_isSecure(&cookie->impl_) : 0; }

void bw_Cookie_makeHttpOnly(bw_Cookie* cookie) {
	if (cookie) bw_CookieEngineImpl_makeHttpOnly(&cookie->impl_);
}
void bw_Cookie_makeSecure(bw_Cookie* cookie) {
	if (cookie) bw_CookieEngineImpl_makeSecure(&cookie->impl_);
}
void bw_Cookie_setCreationTime(bw_Cookie* cookie, uint64_t milliseconds) {
	if (cookie) bw_CookieEngineImpl_setCreationTime(&cookie->impl_, milliseconds);
}
void bw_Cookie_setExpires(bw_Cookie* cookie, uint64_t milliseconds) {
	if (cookie) bw_CookieEngineImpl_setExpires(&cookie->impl_, milliseconds);
}
void bw_Cookie_setName(bw_Cookie* cookie, bw_CStrSlice name) {
	if (cookie) bw_CookieEngineImpl_setText(&cookie->impl_, 'n', name);
}
void bw_Cookie_setValue(bw_Cookie* cookie, bw_CStrSlice value) {
	if (cookie) bw_CookieEngineImpl_setText(&cookie->impl_, 'v', value);
}
void bw_Cookie_setDomain(bw_Cookie* cookie, bw_CStrSlice domain) {
	if (cookie) bw_CookieEngineImpl_setText(&cookie->impl_, 'd', domain);
}
void bw_Cookie_setPath(bw_Cookie* cookie, bw_CStrSlice path) {
	if (cookie) bw_CookieEngineImpl_setText(&cookie->impl_, 'p', path);
}

bw_CookieJar* bw_CookieJar_newGlobal(void) { return bw_CookieJar_wrap(bw_CookieJarEngineImpl_newGlobal()); }

void bw_CookieJar_free(bw_CookieJar* jar) {
	if (jar) bw_CookieJarEngineImpl_release(jar);
}

void bw_CookieJar_iterator(bw_CookieJar* jar, bw_CookieIterator** iterator, bw_Bool32 include_http_only, bw_CStrSlice url) {
	if (jar) *iterator = bw_CookieIterator_wrap(bw_CookieJarEngineImpl_iterator(jar, include_http_only, url));
}

void bw_CookieJar_iteratorAll(bw_CookieJar* jar, bw_CookieIterator** iterator) {
	if (jar) *iterator = bw_CookieIterator_wrap(bw_CookieJarEngineImpl_iteratorAll(jar));
}

bw_Err bw_CookieJar_store(bw_CookieJar* jar, bw_CStrSlice url, const bw_Cookie* cookie, bw_CookieJarStorageCallbackFn handler, void* data) {
	if (jar == nullptr) {
		// Nothing to store into: reported as done, and the handler never comes.
		std::free(data);
		return bw_Err_success();
	}
	if (cookie == nullptr) {
		std::free(data);
		return bw_Err_new_with_msg(1, "no cookie to store");
	}
	bw_Err error = bw_CookieJarEngineImpl_store(jar, url, cookie, handler, data);
	if (error.code != 0) std::free(data);
	return error;
}

void bw_CookieJar_delete(bw_CookieJar* jar, bw_CStrSlice url, bw_CStrSlice name, bw_CookieJarDeleteCallbackFn handler, void* data) {
	if (jar == nullptr || !bw_CookieJarEngineImpl_delete(jar, url, name, handler, data)) std::free(data);
}

int32_t bw_CookieIterator_next(bw_CookieIterator* iterator, bw_CookieIteratorNextCallbackFn handler, void* data) {
	int32_t fetching = iterator ? bw_CookieIteratorEngineImpl_next(iterator, handler, data) : 0;
	if (fetching <= 0) std::free(data);
	return fetching;
}

void bw_CookieIterator_free(bw_CookieIterator* iterator) {
	if (iterator) bw_CookieIteratorEngineImpl_release(iterator);
}

} // extern "C"
