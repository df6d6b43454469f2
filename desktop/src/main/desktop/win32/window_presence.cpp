#include "desktop/window_presence.hpp"

#include <bw/window_win32.h>

namespace tarnwick::window_presence {

namespace {

HWND native(const bw::WindowHandle& window) { return bw_WindowWin32_getHandle(window.impl().inner()); }

} // namespace

bool on_screen(const bw::WindowHandle& window) { return IsWindowVisible(native(window)) && !IsIconic(native(window)); }

bool hidden(const bw::WindowHandle& window) { return !IsWindowVisible(native(window)); }

void hide(const bw::WindowHandle& window) { window.hide(); }

void show(const bw::WindowHandle& window) {
	HWND shown = native(window);
	if (IsIconic(shown))
		ShowWindow(shown, SW_RESTORE);
	else
		window.show();
	SetForegroundWindow(shown);
}

void minimize(const bw::WindowHandle& window) { ShowWindow(native(window), SW_MINIMIZE); }

} // namespace tarnwick::window_presence
