#include <bw/win32.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// HRESULTs that wrap a Win32 error code (HRESULT_FROM_WIN32) carry it in their low 16 bits.
constexpr DWORD facility_win32 = FACILITY_WIN32;

// The system's text for an HRESULT, copied with malloc so that bw_Err_free can release it like any
// other error data; null when the system has none. Inserts such as "%1" stay as they are: there are
// no arguments to put in their place.
wchar_t* systemHresultText(uint32_t code) {
	wchar_t* system_buffer = nullptr;
	DWORD units = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
	                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&system_buffer), 0, nullptr);
	if (units == 0 || system_buffer == nullptr) return nullptr;
	auto* copy = static_cast<wchar_t*>(std::malloc((units + 1) * sizeof(wchar_t)));
	if (copy != nullptr) {
		std::memcpy(copy, system_buffer, units * sizeof(wchar_t));
		copy[units] = L'\0';
	}
	LocalFree(system_buffer);
	return copy;
}

} // namespace

extern "C" {

void bw_win32_print_error(uint32_t code) {
	wchar_t text[512] = {0};
	DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512, nullptr);
	char* utf8 = bw_win32_copyWstrAsNewCstr(units == 0 ? L"(no system text for this code)\n" : text);
	std::fprintf(stderr, "win32 error [%i]: %s\n", static_cast<int>(code), utf8 != nullptr ? utf8 : "");
	std::free(utf8);
}

void bw_win32_print_hresult_error(int32_t hresult) {
	wchar_t* text = systemHresultText(static_cast<uint32_t>(hresult));
	if (text == nullptr) {
		std::fprintf(stderr, "win32 hresult assertion with unknown message: %x\n", static_cast<unsigned>(hresult));
		return;
	}
	char* utf8 = bw_win32_copyWstrAsNewCstr(text);
	std::fprintf(stderr, "win32 hresult assertion [%x]: %s\n", static_cast<unsigned>(hresult), utf8 != nullptr ? utf8 : "");
	std::free(utf8);
	std::free(text);
}

bw_Err bw_win32_unhandledHresult(int32_t hresult) {
	auto bits = static_cast<uint32_t>(hresult);
	uint32_t code = ((bits >> 16) & 0x1fff) == facility_win32 ? (bits & 0xffff) : bits;
	wchar_t* text = systemHresultText(code);
	if (text == nullptr) return bw_Err{code, nullptr, bw_win32_unknownHresultMessage};
	return bw_Err{code, text, bw_win32_unhandledHresultMessage};
}

char* bw_win32_unhandledHresultMessage(uint32_t code, const void* data) {
	char* system_text = bw_win32_copyWstrAsNewCstr(static_cast<const wchar_t*>(data));
	size_t size = std::strlen(system_text) + 53;
	char* message = static_cast<char*>(std::calloc(size, 1));
	std::snprintf(message, size, "Unhandled win32 hresult error [0x%x]: %s", code, system_text);
	std::free(system_text);
	return message;
}

char* bw_win32_unknownHresultMessage(uint32_t code, const void*) {
	char* message = static_cast<char*>(std::calloc(48, 1));
	std::snprintf(message, 48, "Unknown win32 hresult error: 0x%x", code);
	return message;
}

} // extern "C"
