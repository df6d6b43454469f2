#include "dialog_impl/win/win32_text.hpp"

namespace bw::dialogs::impl {

std::wstring widen(std::string_view text) {
	if (text.empty()) return std::wstring();
	int length = static_cast<int>(text.size());
	int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
	std::wstring wide(static_cast<std::size_t>(units), L'\0');
	MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
	return wide;
}

OsError os_error(DWORD code) {
	wchar_t buffer[512];
	DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
	                              static_cast<DWORD>(std::size(buffer)), nullptr);
	while (length > 0 && (buffer[length - 1] == L'\n' || buffer[length - 1] == L'\r' || buffer[length - 1] == L' ')) length--;
	std::string message;
	if (length > 0) {
		int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
		message.resize(static_cast<std::size_t>(size));
		WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), message.data(), size, nullptr, nullptr);
	}
	return OsError{static_cast<int32_t>(code), message};
}

} // namespace bw::dialogs::impl
