/* The error record that fallible lower-layer operations return. */
#ifndef BW_ERR_H
#define BW_ERR_H

#include "common.h"

BW_EXTERN_C_BEGIN

/* Produces a new NUL-terminated UTF-8 message; the caller releases it with bw_string_freeCstr. */
typedef char* (*bw_ErrMsgFn)(uint32_t code, const void* data);

typedef struct bw_Err {
	uint32_t code; /* 0 means success */
	void* data;    /* owned by the record, released by bw_Err_free */
	bw_ErrMsgFn alloc_message;
} bw_Err;

char* bw_Err_msg_success(uint32_t code, const void* data);
char* bw_Err_msg_string(uint32_t code, const void* data);

/* The value every successful operation returns. */
bw_Err bw_Err_success(void);
/* Copies the message; the record owns the copy. */
bw_Err bw_Err_new_with_msg(uint32_t code, const char* msg);
char* bw_Err_message(const bw_Err* error);
void bw_Err_free(bw_Err* error);

BW_EXTERN_C_END

#endif
