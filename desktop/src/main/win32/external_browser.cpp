#include "external_browser.hpp"

#include <windows.h>

#include <shellapi.h>

namespace tarnwick {

std::optional<std::string> open_in_default_browser(const std::string& url) {
	int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.data(), static_cast<int>(url.size()), nullptr, 0);
	if (length <= 0) return "the address is not valid UTF-8";
	std::wstring wide(static_cast<std::size_t>(length), L'\0');
	MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, url.data(), static_cast<int>(url.size()), wide.data(), length);
	// Values above 32 mean success; the others are the old error codes.
	auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
	if (result > 32) return std::nullopt;
	return "the shell refused it (code " + std::to_string(result) + ")";
}

} // namespace tarnwick
