/* Length-counted UTF-8 texts shared by both layers. */
#ifndef BW_STRING_H
#define BW_STRING_H

#include "common.h"

BW_EXTERN_C_BEGIN

/* A text handed over to the receiver, who releases it with bw_string_free. */
typedef struct bw_StrSlice {
	size_t len;
	char* data;
} bw_StrSlice;

/* A text only borrowed for the duration of a call. */
typedef struct bw_CStrSlice {
	size_t len;
	const char* data;
} bw_CStrSlice;

/* A new buffer of len + 1 bytes: the slice's bytes and a terminating NUL. */
char* bw_string_copyAsNewCstr(bw_CStrSlice str);
void bw_string_free(bw_StrSlice str);
void bw_string_freeC(bw_CStrSlice str);
void bw_string_freeCstr(char* str);

BW_EXTERN_C_END

#endif
