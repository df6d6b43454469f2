// The colour under the page: the engine's environment variable before the environment exists (the
// engine paints it from the first frame on, avoiding a white flash), then the controller's
// DefaultBackgroundColor. Always opaque: the engine accepts only alpha 0 or 255.
#include "core/browser_window/edge2/view_capabilities.hpp"

#include <wrl/client.h>

#include <cwchar>

namespace bw::edge2 {

namespace {

constexpr wchar_t background_variable[] = L"WEBVIEW2_DEFAULT_BACKGROUND_COLOR";

std::optional<std::wstring> variable_value() {
	DWORD size = GetEnvironmentVariableW(background_variable, nullptr, 0);
	if (size == 0) return std::nullopt;
	std::wstring value(size, L'\0');
	DWORD length = GetEnvironmentVariableW(background_variable, value.data(), size);
	if (length == 0 || length >= size) return std::nullopt;
	value.resize(length);
	return value;
}

} // namespace

BackgroundPreset preset_background(const PageCapabilities& capabilities) {
	if (!capabilities.background) return {};
	BackgroundPreset preset{true, variable_value()};
	// Hexadecimal, alpha first.
	wchar_t value[16];
	std::swprintf(value, 16, L"FF%02X%02X%02X", capabilities.background->red, capabilities.background->green, capabilities.background->blue);
	SetEnvironmentVariableW(background_variable, value);
	return preset;
}

void restore_background(const BackgroundPreset& preset) {
	if (!preset.set) return;
	SetEnvironmentVariableW(background_variable, preset.previous ? preset.previous->c_str() : nullptr);
}

void install_background(const ViewParts& view) {
	const std::optional<BackgroundColor>& color = view.capabilities().background;
	if (!color) return;
	Microsoft::WRL::ComPtr<ICoreWebView2Controller2> controller;
	// A runtime without it still has the colour from the variable.
	if (FAILED(view.controller->QueryInterface(IID_ICoreWebView2Controller2, reinterpret_cast<void**>(controller.GetAddressOf()))) ||
	    controller == nullptr) {
		return;
	}
	controller->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{255, color->red, color->green, color->blue});
}

} // namespace bw::edge2
