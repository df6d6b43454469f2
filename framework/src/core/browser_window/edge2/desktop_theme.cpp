// The desktop's light or dark preference, live: the pages follow the system by themselves (the
// profile's PreferredColorScheme is AUTO unless set), and the background given follows it too: the
// window's procedure is wrapped to hear WM_SETTINGCHANGE "ImmersiveColorSet", after which the
// controller's DefaultBackgroundColor is the desktop's.
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"

#include <bw/window_win32.h>
#include <wrl/client.h>

#include <cwchar>

namespace bw::edge2 {

namespace {

constexpr wchar_t theme_property[] = L"bw-desktop-theme";

// Kept as a window property until the window goes.
struct ThemeFollower {
	WNDPROC previous = nullptr;
	bw_BrowserWindow* record = nullptr;
	std::shared_ptr<Liveness> liveness;
};

void apply_background(ThemeFollower& follower) {
	ICoreWebView2Controller* controller = follower.liveness->alive ? controller_of(follower.record) : nullptr;
	Microsoft::WRL::ComPtr<ICoreWebView2Controller2> controller2;
	if (controller == nullptr || FAILED(controller->QueryInterface(IID_ICoreWebView2Controller2, reinterpret_cast<void**>(controller2.GetAddressOf()))))
		return;
	BackgroundColor color = desktop_background();
	controller2->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{255, color.red, color.green, color.blue});
}

LRESULT CALLBACK follow_theme(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
	auto* follower = static_cast<ThemeFollower*>(GetPropW(window, theme_property));
	if (follower == nullptr) return DefWindowProcW(window, message, wparam, lparam);
	WNDPROC previous = follower->previous;
	if (message == WM_SETTINGCHANGE && lparam != 0 && std::wcscmp(reinterpret_cast<const wchar_t*>(lparam), L"ImmersiveColorSet") == 0)
		apply_background(*follower);
	if (message == WM_NCDESTROY) {
		RemovePropW(window, theme_property);
		delete follower;
	}
	return CallWindowProcW(previous, window, message, wparam, lparam);
}

} // namespace

void install_desktop_theme(const ViewParts& view) {
	if (!view.capabilities().follow_desktop_theme || !view.capabilities().background) return;
	HWND window = bw_WindowWin32_getHandle(view.record->window);
	auto* follower = new ThemeFollower{nullptr, view.record, view.liveness};
	SetPropW(window, theme_property, follower);
	follower->previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(follow_theme)));
	// The preference may have changed since the program read it.
	apply_background(*follower);
}

} // namespace bw::edge2
