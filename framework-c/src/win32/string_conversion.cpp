#include <bw/win32.h>

#include "../assertion.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

extern "C" {

char* bw_win32_copyAsNewCstr(bw_CStrSlice str) { return bw_string_copyAsNewCstr(str); }

wchar_t* bw_win32_copyAsNewWstr(bw_CStrSlice str) {
	int len = static_cast<int>(str.len);
	int units = str.len == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, str.data, len, nullptr, 0);
	auto* wide = static_cast<wchar_t*>(std::calloc(static_cast<size_t>(units) + 1, sizeof(wchar_t)));
	if (wide == nullptr) return nullptr;
	if (units > 0) MultiByteToWideChar(CP_UTF8, 0, str.data, len, wide, units);
	wide[units] = L'\0';
	return wide;
}

size_t bw_win32_copyAsNewUtf8Str(const wchar_t* str, char** result) {
	int size = WideCharToMultiByte(CP_UTF8, 0, str, -1, nullptr, 0, nullptr, nullptr);
	if (size == 0) {
		bw_win32_print_error(GetLastError());
		bw_failAssertion("0");
	}
	char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
	BW_ASSERT(buffer != nullptr, "out of memory");
	*result = buffer;
	// Unpaired surrogates fail here instead of being replaced.
	if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, str, -1, buffer, size, nullptr, nullptr) == 0) {
		bw_win32_print_error(GetLastError());
		bw_failAssertion("0");
	}
	return static_cast<size_t>(size) - 1;
}

char* bw_win32_copyWstrAsNewCstr(const wchar_t* str) {
	int units = static_cast<int>(wcslen(str));
	int bytes = units == 0 ? 0 : WideCharToMultiByte(CP_UTF8, 0, str, units, nullptr, 0, nullptr, nullptr);
	char* utf8 = static_cast<char*>(std::calloc(static_cast<size_t>(bytes) + 1, 1));
	if (utf8 == nullptr) return nullptr;
	if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, str, units, utf8, bytes, nullptr, nullptr);
	utf8[bytes] = '\0';
	return utf8;
}

} // extern "C"
