/* Shared definitions of the lower layer's C ABI. */
#ifndef BW_COMMON_H
#define BW_COMMON_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define BW_EXTERN_C_BEGIN extern "C" {
#define BW_EXTERN_C_END }
#else
#define BW_EXTERN_C_BEGIN
#define BW_EXTERN_C_END
#endif

/* A 32-bit boolean, as the records store it: 0 is false, anything else true. */
typedef int32_t bw_Bool32;

#endif
