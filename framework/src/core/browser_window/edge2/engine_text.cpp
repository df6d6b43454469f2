#include "core/browser_window/edge2/engine_text.hpp"

#include <bw/win32.h>

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

Error hresult_error(HRESULT hr) { return Error(bw_win32_unhandledHresult(hr)); }

std::string hresult_message(HRESULT hr) {
	Error error = hresult_error(hr);
	std::string text = err_message(error.record());
	// The system's texts end with a line break.
	while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
	return text;
}

} // namespace bw::edge2
