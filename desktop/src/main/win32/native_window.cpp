#include "native_window.hpp"

#include <windows.h>

#include <bw/window_win32.h>

namespace tarnwick::native_window {

namespace {

HWND hwnd(const bw::WindowHandle& window) { return bw_WindowWin32_getHandle(window.impl().inner()); }

// The one window whose session's end is watched, and the procedure the framework gave it.
struct SessionEnd {
	WNDPROC framework = nullptr;
	std::function<void()> save;
};

SessionEnd& session_end() {
	static SessionEnd instance;
	return instance;
}

// The system ends the program once the session ends (WM_ENDSESSION with TRUE), without closing the
// window: the state is saved when asked whether it may end and again when it does.
LRESULT CALLBACK watch_session_end(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
	SessionEnd& watched = session_end();
	if ((message == WM_QUERYENDSESSION || (message == WM_ENDSESSION && wparam != FALSE)) && watched.save) watched.save();
	return CallWindowProcW(watched.framework, window, message, wparam, lparam);
}

} // namespace

struct Tracker::Impl {
	HWND window = nullptr;
	WindowState placed;
};

bool raise(const bw::WindowHandle& window) {
	HWND native = hwnd(window);
	if (!IsWindowVisible(native)) return false;
	if (IsIconic(native)) ShowWindow(native, SW_RESTORE);
	SetForegroundWindow(native);
	return true;
}

void on_session_end(const bw::WindowHandle& window, std::function<void()> save) {
	SessionEnd& watched = session_end();
	if (watched.framework != nullptr) return;
	watched.save = std::move(save);
	watched.framework = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd(window), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watch_session_end)));
}

void request_close(const bw::WindowHandle& window) { PostMessageW(hwnd(window), WM_CLOSE, 0, 0); }

const char* display_kind() { return "win32"; }

// The state holds the outer rectangle in screen coordinates.
void place(const bw::WindowHandle& window, const WindowState& state) {
	HWND native = hwnd(window);
	RECT wanted{0, 0, state.width, state.height};
	if (state.x) OffsetRect(&wanted, *state.x, *state.y);
	HMONITOR landed = state.x ? MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL) : nullptr;
	MONITORINFO info{sizeof info, {}, {}, 0};
	if (!GetMonitorInfoW(landed != nullptr ? landed : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info)) return;
	const RECT& work = info.rcWork;
	WindowState placed = state;
	if (landed == nullptr) {
		placed.x = work.left + ((work.right - work.left) - state.width) / 2;
		placed.y = work.top + ((work.bottom - work.top) - state.height) / 2;
	}
	placed = fitted_to(placed, WorkArea{work.left, work.top, work.right - work.left, work.bottom - work.top});
	// The first launch keeps the size it was built with, where it fits.
	if (!state.x && placed.width == state.width && placed.height == state.height) return;
	SetWindowPos(native, nullptr, *placed.x, *placed.y, placed.width, placed.height, SWP_NOZORDER | SWP_NOACTIVATE);
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
