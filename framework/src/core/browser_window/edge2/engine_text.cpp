#include "core/browser_window/edge2/engine_text.hpp"

#include <bw/win32.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

namespace bw::edge2 {

HRESULT to_engine_text(std::string_view text, std::wstring& out) {
	if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
	if (text.find('\0') != std::string_view::npos) return E_INVALIDARG;
	out.clear();
	if (text.empty()) return S_OK;
	int length = static_cast<int>(text.size());
	int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
	if (units == 0) return E_INVALIDARG;
	out.resize(static_cast<std::size_t>(units));
	MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), units);
	return S_OK;
}

HRESULT from_engine_text(const wchar_t* text, std::string& out) {
	out.clear();
	if (text == nullptr) return E_POINTER;
	int units = static_cast<int>(std::wcslen(text));
	if (units == 0) return S_OK;
	int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, units, nullptr, 0, nullptr, nullptr);
	if (size == 0) return E_FAIL;
	out.resize(static_cast<std::size_t>(size));
	WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, units, out.data(), size, nullptr, nullptr);
	return S_OK;
}

std::optional<std::string> take_engine_text(HRESULT hr, LPWSTR text) {
	std::string out;
	if (SUCCEEDED(hr)) hr = from_engine_text(text, out);
	CoTaskMemFree(text);
	if (FAILED(hr)) return std::nullopt;
	return out;
}

Error hresult_error(HRESULT hr) { return Error(bw_win32_unhandledHresult(hr)); }

std::string hresult_message(HRESULT hr) {
	Error error = hresult_error(hr);
	std::string text = err_message(error.record());
	// The system's texts end with a line break.
	while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
	return text;
}

std::string hresult_summary(HRESULT hr) {
	char code[16];
	std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
	std::string summary = code;
	LPWSTR text = nullptr;
	DWORD units = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
	                             static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
	std::string system;
	if (units > 0 && text != nullptr) from_engine_text(text, system);
	LocalFree(text);
	// The system's texts end with a line break.
	while (!system.empty() && (system.back() == '\n' || system.back() == '\r' || system.back() == ' ')) system.pop_back();
	return system.empty() ? summary : summary + " " + system;
}

} // namespace bw::edge2
