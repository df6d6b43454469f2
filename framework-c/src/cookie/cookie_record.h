// The cookie records and the seam between their platform-neutral front and the engine parts.
#pragma once

#include <bw/cookie.h>

// What each record holds is the engine's own data: nothing at all with an engine without cookies.
struct bw_CookieImpl {
	void* __;
};
struct bw_CookieJarImpl {
	void* __;
};
struct bw_CookieIteratorImpl {
	void* __;
};

struct bw_Cookie {
	bw_CookieImpl impl_;
};
struct bw_CookieJar {
	bw_CookieJarImpl impl_;
};
struct bw_CookieIterator {
	bw_CookieIteratorImpl impl_;
};

extern "C" {

// Records around engine data, for the engine parts that hand out cookies, jars and iterators.
bw_Cookie* bw_Cookie_wrap(void* engine_data);
bw_CookieJar* bw_CookieJar_wrap(void* engine_data);
bw_CookieIterator* bw_CookieIterator_wrap(void* engine_data);

// Engine part. The front calls these only with records that exist (never with null ones), and it
// releases callback data that an engine refuses. Constructors return the engine data for a new
// record, or null for none.
//
// Jars and iterators are released by the engine part, record included (with free), once neither
// their owner (bw_*EngineImpl_release) nor a pending operation needs them.
void* bw_CookieEngineImpl_new(bw_CStrSlice name, bw_CStrSlice value);
void bw_CookieEngineImpl_free(bw_CookieImpl* impl);
uint64_t bw_CookieEngineImpl_getCreationTime(const bw_CookieImpl* impl);
uint64_t bw_CookieEngineImpl_getExpires(const bw_CookieImpl* impl);
// Which text: 'n'ame, 'v'alue, 'd'omain, 'p'ath.
int32_t bw_CookieEngineImpl_getText(const bw_CookieImpl* impl, char which, bw_StrSlice* out);
void bw_CookieEngineImpl_setText(bw_CookieImpl* impl, char which, bw_CStrSlice text);
bw_Bool32 bw_CookieEngineImpl_isHttpOnly(const bw_CookieImpl* impl);
bw_Bool32 bw_CookieEngineImpl_isSecure(const bw_CookieImpl* impl);
void bw_CookieEngineImpl_makeHttpOnly(bw_CookieImpl* impl);
void bw_CookieEngineImpl_makeSecure(bw_CookieImpl* impl);
void bw_CookieEngineImpl_setCreationTime(bw_CookieImpl* impl, uint64_t milliseconds);
void bw_CookieEngineImpl_setExpires(bw_CookieImpl* impl, uint64_t milliseconds);

void* bw_CookieJarEngineImpl_newGlobal(void);
void bw_CookieJarEngineImpl_release(bw_CookieJar* jar);
void* bw_CookieJarEngineImpl_iterator(bw_CookieJar* jar, bw_Bool32 include_http_only, bw_CStrSlice url);
void* bw_CookieJarEngineImpl_iteratorAll(bw_CookieJar* jar);
// On success the engine owns the callback data; a failure (the store did not start) leaves it to
// the caller.
bw_Err bw_CookieJarEngineImpl_store(bw_CookieJar* jar, bw_CStrSlice url, const bw_Cookie* cookie, bw_CookieJarStorageCallbackFn handler,
                                    void* data);
// False: the engine deletes nothing and leaves the callback data to the caller.
bw_Bool32 bw_CookieJarEngineImpl_delete(bw_CookieJar* jar, bw_CStrSlice url, bw_CStrSlice name, bw_CookieJarDeleteCallbackFn handler,
                                        void* data);

// 0 or less: exhausted, and the callback data is left to the caller.
int32_t bw_CookieIteratorEngineImpl_next(bw_CookieIterator* iterator, bw_CookieIteratorNextCallbackFn handler, void* data);
void bw_CookieIteratorEngineImpl_release(bw_CookieIterator* iterator);

} // extern "C"
