#include "core/browser_window/edge2/environment_options.hpp"

#include <cstring>

namespace bw::edge2 {

HRESULT EnvironmentOptions::get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) {
	if (allow == nullptr) return E_POINTER;
	*allow = single_sign_on_;
	return S_OK;
}

HRESULT EnvironmentOptions::put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) {
	single_sign_on_ = allow ? TRUE : FALSE;
	return S_OK;
}

HRESULT EnvironmentOptions::hand_out(const std::optional<std::wstring>& text, LPWSTR* out) {
	if (out == nullptr) return E_POINTER;
	*out = nullptr;
	if (!text) return S_OK;
	std::size_t bytes = (text->size() + 1) * sizeof(wchar_t);
	*out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
	if (*out == nullptr) return E_OUTOFMEMORY;
	std::memcpy(*out, text->c_str(), bytes);
	return S_OK;
}

HRESULT EnvironmentOptions::store(std::optional<std::wstring>& text, LPCWSTR value) {
	if (value == nullptr)
		text.reset();
	else
		text = value;
	return S_OK;
}

} // namespace bw::edge2
