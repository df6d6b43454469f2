#include "native_window.hpp"

#include <windows.h>

#include <bw/window_win32.h>

namespace tarnwick::native_window {

namespace {

HWND hwnd(const bw::WindowHandle& window) { return bw_WindowWin32_getHandle(window.impl().inner()); }

} // namespace

struct Tracker::Impl {
	HWND window = nullptr;
	WindowState placed;
};

void raise(const bw::WindowHandle& window) {
	HWND native = hwnd(window);
	if (IsIconic(native)) ShowWindow(native, SW_RESTORE);
	SetForegroundWindow(native);
}

void request_close(const bw::WindowHandle& window) { PostMessageW(hwnd(window), WM_CLOSE, 0, 0); }

const char* display_kind() { return "win32"; }

// The state holds the outer rectangle in screen coordinates.
void place(const bw::WindowHandle& window, const WindowState& state) {
	HWND native = hwnd(window);
	RECT wanted{0, 0, state.width, state.height};
	if (state.x) OffsetRect(&wanted, *state.x, *state.y);
	if (!state.x || MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL) == nullptr) {
		MONITORINFO info{sizeof info, {}, {}, 0};
		GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
		const RECT& work = info.rcWork;
		int x = work.left + ((work.right - work.left) - state.width) / 2;
		int y = work.top + ((work.bottom - work.top) - state.height) / 2;
		wanted = RECT{x, y, x + state.width, y + state.height};
		// The first launch keeps the size it was built with.
		if (!state.x) return;
	}
	SetWindowPos(native, nullptr, wanted.left, wanted.top, wanted.right - wanted.left, wanted.bottom - wanted.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void restore_maximized(const bw::WindowHandle& window, const WindowState& state) {
	if (state.maximized) ShowWindow(hwnd(window), SW_MAXIMIZE);
}

Tracker::Tracker() : impl_(std::make_unique<Impl>()) {}

Tracker::~Tracker() = default;

// The system window stays, hidden, until the process ends: its placement is read at the end.
void Tracker::follow(const bw::WindowHandle& window, const WindowState& placed) {
	impl_->window = hwnd(window);
	impl_->placed = placed;
}

WindowState Tracker::last() const {
	WindowState state = impl_->placed;
	WINDOWPLACEMENT placement{};
	placement.length = sizeof placement;
	if (impl_->window == nullptr || !GetWindowPlacement(impl_->window, &placement)) return state;
	// rcNormalPosition is in workspace coordinates: the same as the screen's unless a taskbar sits
	// at the top or left, which this offsets.
	MONITORINFO info{sizeof info, {}, {}, 0};
	GetMonitorInfoW(MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTOPRIMARY), &info);
	RECT normal = placement.rcNormalPosition;
	OffsetRect(&normal, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
	state.x = normal.left;
	state.y = normal.top;
	state.width = normal.right - normal.left;
	state.height = normal.bottom - normal.top;
	state.maximized = IsZoomed(impl_->window) != FALSE || (placement.flags & WPF_RESTORETOMAXIMIZED) != 0;
	return state;
}

} // namespace tarnwick::native_window
