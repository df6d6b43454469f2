// What the launcher does to its window beyond the framework's handle: raising it, and placing and
// following it for the remembered window state. Each platform has its own part.
#pragma once

#include "window_state.hpp"

#include "window/window_handle.hpp"

#include <functional>
#include <memory>
#include <string_view>

namespace tarnwick::native_window {

// Brings the window to the front, restoring it when minimised; false when it is not shown (yet or
// any more). GUI thread.
bool raise(const bw::WindowHandle& window);

// Asks the window to close, as its close button does. GUI thread.
void request_close(const bw::WindowHandle& window);
// The kind of display the window is on ("x11", "wayland", "win32"), for the log.
const char* display_kind();

// Before the window is first shown: its size, and its position when that lies on a monitor
// (otherwise it is centred on the primary one), both fitted to that monitor's work area.
void place(const bw::WindowHandle& window, const WindowState& state);
// Calls save when the user's session ends with the window open, where the system ends the program
// without closing its window (Windows logging off); elsewhere the session's end closes the window.
void on_session_end(const bw::WindowHandle& window, std::function<void()> save);
// After it is shown: maximised when it was.
void restore_maximized(const bw::WindowHandle& window, const WindowState& state);

// Follows a window's geometry, so that it can be saved once the window is gone.
class Tracker {
public:
	Tracker();
	~Tracker();
	Tracker(const Tracker&) = delete;
	Tracker& operator=(const Tracker&) = delete;

	// GUI thread; starting with the state the window was placed at.
	void follow(const bw::WindowHandle& window, const WindowState& placed);
	// The last geometry seen: the normal (not maximised) size and position, and whether maximised.
	WindowState last() const;

	struct Impl;

private:
	std::unique_ptr<Impl> impl_;
};

} // namespace tarnwick::native_window
