// UTF-8 to the UTF-16 of Windows' wide calls. Invalid bytes become U+FFFD, as the system converts them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace bw::win32 {

inline std::wstring wide_text(std::string_view text) {
	int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
	std::wstring converted(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
	if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), length);
	return converted;
}

} // namespace bw::win32
