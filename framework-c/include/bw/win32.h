/* UTF-8/UTF-16 conversion at Win32 calls and the reporting of Win32 failures. Windows only. */
#ifndef BW_WIN32_H
#define BW_WIN32_H

#include "common.h"
#include "err.h"
#include "string.h"

#include <wchar.h>

BW_EXTERN_C_BEGIN

char* bw_win32_copyAsNewCstr(bw_CStrSlice str);
/* A new NUL-terminated UTF-16 text, released with free; null when memory runs out. */
wchar_t* bw_win32_copyAsNewWstr(bw_CStrSlice str);
/* Stores a new UTF-8 copy in *result and returns its length without the terminator. */
size_t bw_win32_copyAsNewUtf8Str(const wchar_t* str, char** result);
char* bw_win32_copyWstrAsNewCstr(const wchar_t* str);

void bw_win32_print_error(uint32_t code);
void bw_win32_print_hresult_error(int32_t hresult);
bw_Err bw_win32_unhandledHresult(int32_t hresult);
char* bw_win32_unhandledHresultMessage(uint32_t code, const void* data);
char* bw_win32_unknownHresultMessage(uint32_t code, const void* data);

BW_EXTERN_C_END

#endif
