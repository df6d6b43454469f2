// A GUI program starts without a console: it writes to the one it was started from, when there is
// one, and shows a box otherwise.
#include "desktop/console.hpp"

#include "core/win32/wide_text.hpp"

#include <windows.h>

#include <string>

namespace tarnwick::console {

namespace {

// The handle to write to; null when there is no console to write to.
HANDLE stream(DWORD which) {
	static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
	HANDLE handle = GetStdHandle(which);
	if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN) return handle;
	if (!attached) return nullptr;
	handle = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
	return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void write(DWORD which, std::string_view text, UINT box) {
	HANDLE handle = stream(which);
	std::wstring converted = bw::win32::wide_text(text);
	if (handle == nullptr) {
		MessageBoxW(nullptr, converted.c_str(), L"Tarnwick", box);
		return;
	}
	DWORD written = 0;
	DWORD mode = 0;
	// A console takes the text as UTF-16; a file or a pipe gets the bytes.
	if (GetConsoleMode(handle, &mode))
		WriteConsoleW(handle, converted.data(), static_cast<DWORD>(converted.size()), &written, nullptr);
	else
		WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

void out(std::string_view text) { write(STD_OUTPUT_HANDLE, text, MB_OK | MB_ICONINFORMATION); }

void error(std::string_view text) { write(STD_ERROR_HANDLE, text, MB_OK | MB_ICONERROR); }

} // namespace tarnwick::console
