/* Compiled as C: the cookie header must stay usable from C. Returns the expiry of a new cookie. */
#include <bw/cookie.h>

uint64_t bw_cookie_header_check(void) {
	bw_CStrSlice name = {1, "a"};
	bw_Cookie* cookie = bw_Cookie_new(name, name);
	uint64_t expires = bw_Cookie_getExpires(cookie);
	bw_Cookie_free(cookie);
	return expires;
}
