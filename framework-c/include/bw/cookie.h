/* Cookies: a cookie with its attributes, a jar that stores, finds, deletes and lists cookies, and
 * an iterator over a jar's cookies. Times are milliseconds since 1970-01-01 00:00:00 UTC. */
#ifndef BW_COOKIE_H
#define BW_COOKIE_H

#include "common.h"
#include "err.h"
#include "string.h"

BW_EXTERN_C_BEGIN

typedef struct bw_Cookie bw_Cookie;
typedef struct bw_CookieJar bw_CookieJar;
typedef struct bw_CookieIterator bw_CookieIterator;

/* Completion handlers. Each is called once, on the GUI thread, with the callback data given to the
 * operation that started it.
 *
 * The callback data is null or comes from malloc. It belongs to the lower layer from the call on:
 * the handler receives it and releases it; when the handler will not be called (a store that did
 * not start, an exhausted iterator, an engine without cookies) the lower layer releases it with
 * free. So it must hold nothing that free alone would not release.
 *
 * The jar or iterator passed to a handler is the one the operation was started on; it stays valid
 * until the handler returns, even when its owner released it in the meantime. */
typedef void (*bw_CookieJarStorageCallbackFn)(bw_CookieJar* jar, void* data, bw_Err error); /* the receiver frees error */
typedef void (*bw_CookieJarDeleteCallbackFn)(bw_CookieJar* jar, void* data, uint32_t deleted);
typedef void (*bw_CookieIteratorNextCallbackFn)(bw_CookieIterator* iterator, void* data, bw_Cookie* cookie); /* cookie: the receiver's, or null */

/* Null when the engine makes no cookies. The caller releases it with bw_Cookie_free. */
bw_Cookie* bw_Cookie_new(bw_CStrSlice name, bw_CStrSlice value);
void bw_Cookie_free(bw_Cookie* cookie);

uint64_t bw_Cookie_getCreationTime(const bw_Cookie* cookie);
/* 0: the cookie has no expiry. */
uint64_t bw_Cookie_getExpires(const bw_Cookie* cookie);
/* Above 0: *out is a new text, released with bw_string_free. 0 or less: *out borrows the cookie's
 * own text, valid while the cookie lives unchanged. */
int32_t bw_Cookie_getName(const bw_Cookie* cookie, bw_StrSlice* out);
int32_t bw_Cookie_getValue(const bw_Cookie* cookie, bw_StrSlice* out);
int32_t bw_Cookie_getDomain(const bw_Cookie* cookie, bw_StrSlice* out);
int32_t bw_Cookie_getPath(const bw_Cookie* cookie, bw_StrSlice* out);
bw_Bool32 bw_Cookie_isHttpOnly(const bw_Cookie* cookie);
bw_Bool32 bw_Cookie_isSecure(const bw_Cookie* cookie);

void bw_Cookie_makeHttpOnly(bw_Cookie* cookie);
void bw_Cookie_makeSecure(bw_Cookie* cookie);
void bw_Cookie_setCreationTime(bw_Cookie* cookie, uint64_t milliseconds);
/* 0 removes the expiry. */
void bw_Cookie_setExpires(bw_Cookie* cookie, uint64_t milliseconds);
/* The texts are borrowed; the cookie copies them (up to a NUL, which cookie texts cannot hold). */
void bw_Cookie_setName(bw_Cookie* cookie, bw_CStrSlice name);
void bw_Cookie_setValue(bw_Cookie* cookie, bw_CStrSlice value);
void bw_Cookie_setDomain(bw_Cookie* cookie, bw_CStrSlice domain);
void bw_Cookie_setPath(bw_Cookie* cookie, bw_CStrSlice path);

/* The engine's global jar, or null when there is none. Released with bw_CookieJar_free. */
bw_CookieJar* bw_CookieJar_newGlobal(void);
void bw_CookieJar_free(bw_CookieJar* jar);

/* Stores a new iterator over the jar's cookies for the URL in *iterator, which the caller sets to
 * null first; null afterwards means no iterator. With include_http_only false, HTTP-only cookies
 * are left out. */
void bw_CookieJar_iterator(bw_CookieJar* jar, bw_CookieIterator** iterator, bw_Bool32 include_http_only, bw_CStrSlice url);
void bw_CookieJar_iteratorAll(bw_CookieJar* jar, bw_CookieIterator** iterator);

/* Starts storing a copy of the cookie for the URL: a cookie without a domain gets the URL's host,
 * one without a path the URL's directory. A failure means the store did not start and the
 * handler will not be called (an invalid URL, a domain that does not cover the URL's host);
 * otherwise the handler, if any, is called later with the final result. */
bw_Err bw_CookieJar_store(bw_CookieJar* jar, bw_CStrSlice url, const bw_Cookie* cookie, bw_CookieJarStorageCallbackFn handler,
                          void* data);
/* Starts deleting the cookies of that name sent to the URL; the handler gets how many went. */
void bw_CookieJar_delete(bw_CookieJar* jar, bw_CStrSlice url, bw_CStrSlice name, bw_CookieJarDeleteCallbackFn handler, void* data);

/* Above 0: the next cookie is being fetched and the handler will be called with it (or with null
 * when there was none after all). 0 or less: the listing is exhausted; the handler is not called. */
int32_t bw_CookieIterator_next(bw_CookieIterator* iterator, bw_CookieIteratorNextCallbackFn handler, void* data);
void bw_CookieIterator_free(bw_CookieIterator* iterator);

BW_EXTERN_C_END

#endif
