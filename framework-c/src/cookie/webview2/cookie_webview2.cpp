// The WebView2 binding has no cookie access: it makes no cookies and hands out no jar, so the
// front never calls the functions below with a record; they answer as an empty engine would.
#include "../cookie_record.h"

#include <cstdlib>

extern "C" {

void* bw_CookieEngineImpl_new(bw_CStrSlice, bw_CStrSlice) { return nullptr; }
void bw_CookieEngineImpl_free(bw_CookieImpl*) {}
uint64_t bw_CookieEngineImpl_getCreationTime(const bw_CookieImpl*) { return 0; }
uint64_t bw_CookieEngineImpl_getExpires(const bw_CookieImpl*) { return 0; }
int32_t bw_CookieEngineImpl_getText(const bw_CookieImpl*, char, bw_StrSlice* out) {
	*out = bw_StrSlice{0, nullptr};
	return 0;
}
void bw_CookieEngineImpl_setText(bw_CookieImpl*, char, bw_CStrSlice) {}
bw_Bool32 bw_CookieEngineImpl_isHttpOnly(const bw_CookieImpl*) { return 0; }
bw_Bool32 bw_CookieEngineImpl_isSecure(const bw_CookieImpl*) { return 0; }
void bw_CookieEngineImpl_makeHttpOnly(bw_CookieImpl*) {}
void bw_CookieEngineImpl_makeSecure(bw_CookieImpl*) {}
void bw_CookieEngineImpl_setCreationTime(bw_CookieImpl*, uint64_t) {}
void bw_CookieEngineImpl_setExpires(bw_CookieImpl*, uint64_t) {}

void* bw_CookieJarEngineImpl_newGlobal(void) { return nullptr; }
void bw_CookieJarEngineImpl_release(bw_CookieJar*) {}
void* bw_CookieJarEngineImpl_iterator(bw_CookieJar*, bw_Bool32, bw_CStrSlice) { return nullptr; }
void* bw_CookieJarEngineImpl_iteratorAll(bw_CookieJar*) { return nullptr; }
bw_Err bw_CookieJarEngineImpl_store(bw_CookieJar*, bw_CStrSlice, const bw_Cookie*, bw_CookieJarStorageCallbackFn, void* data) {
	// Reported as stored, but the handler never comes: its data is released here.
	std::free(data);
	return bw_Err_success();
}
bw_Bool32 bw_CookieJarEngineImpl_delete(bw_CookieJar*, bw_CStrSlice, bw_CStrSlice, bw_CookieJarDeleteCallbackFn, void*) { return 0; }

int32_t bw_CookieIteratorEngineImpl_next(bw_CookieIterator*, bw_CookieIteratorNextCallbackFn, void*) { return 0; }
void bw_CookieIteratorEngineImpl_release(bw_CookieIterator*) {}

} // extern "C"
