// The options the loader reads while it creates the environment: no extra browser arguments, no
// language, the oldest runtime the binding works with, no single sign-on.
#pragma once

#include "core/browser_window/edge2/com_handler.hpp"

#include <optional>
#include <string>

namespace bw::edge2 {

class EnvironmentOptions final : public ComHandler<ICoreWebView2EnvironmentOptions, IID_ICoreWebView2EnvironmentOptions> {
public:
	// Getters hand out CoTaskMemAlloc copies, or null for an absent text.
	HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override { return hand_out(arguments_, value); }
	HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override { return store(arguments_, value); }
	HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override { return hand_out(language_, value); }
	HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override { return store(language_, value); }
	HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override { return hand_out(target_version_, value); }
	HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override { return store(target_version_, value); }
	HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override;
	HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override;

private:
	~EnvironmentOptions() override = default;

	static HRESULT hand_out(const std::optional<std::wstring>& text, LPWSTR* out);
	static HRESULT store(std::optional<std::wstring>& text, LPCWSTR value);

	std::optional<std::wstring> arguments_;
	std::optional<std::wstring> language_;
	std::optional<std::wstring> target_version_{L"89.0.765"};
	BOOL single_sign_on_ = FALSE;
};

} // namespace bw::edge2
