// A user at the X display, through a connection of its own and the XTest extension: keys pressed in
// a window, clicks and wheel turns over it. Each action first raises the window and gives it the
// focus, since other tests' windows come and go on the same display.
#pragma once

#include <bw/window.h>

#include <vector>

namespace bw::testing {

// The X window of a native window, realised if it was not.
unsigned long x_window_of(bw_Window* window);

class XUser {
public:
	XUser();
	~XUser();
	XUser(const XUser&) = delete;
	XUser& operator=(const XUser&) = delete;

	// Presses the keys (X keysyms) in order and releases them in reverse: {XK_Control_L, XK_r}.
	void press(unsigned long window, const std::vector<unsigned long>& keysyms);
	// A left click at the point of the window.
	void click(unsigned long window, int x, int y);
	// One notch of the wheel (up or down) over the middle of the window, with Ctrl held.
	void ctrl_wheel(unsigned long window, bool up);

private:
	void reach(unsigned long window, int x, int y);
	struct Connection;
	Connection* x_;
};

} // namespace bw::testing
