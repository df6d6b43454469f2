#include "x_user.hpp"

#include <bw/window_gtk.h>
#include <gdk/gdkx.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <vector>

namespace bw::testing {

unsigned long x_window_of(bw_Window* window) {
	GtkWidget* widget = bw_WindowGtk_getHandle(window);
	gtk_widget_realize(widget);
	return gdk_x11_window_get_xid(gtk_widget_get_window(widget));
}

struct XUser::Connection {
	Display* display;
};

XUser::XUser() : x_(new Connection{XOpenDisplay(nullptr)}) {}

XUser::~XUser() {
	if (x_->display != nullptr) XCloseDisplay(x_->display);
	delete x_;
}

void XUser::reach(unsigned long window, int x, int y) {
	Display* display = x_->display;
	XRaiseWindow(display, window);
	XSetInputFocus(display, window, RevertToParent, CurrentTime);
	int root_x = 0, root_y = 0;
	::Window child = 0;
	XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &root_x, &root_y, &child);
	XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
	XSync(display, False);
}

void XUser::press(unsigned long window, const std::vector<unsigned long>& keysyms) {
	Display* display = x_->display;
	reach(window, 10, 10);
	std::vector<KeyCode> codes;
	for (unsigned long keysym : keysyms) codes.push_back(XKeysymToKeycode(display, keysym));
	for (KeyCode code : codes) XTestFakeKeyEvent(display, code, True, CurrentTime);
	for (auto code = codes.rbegin(); code != codes.rend(); ++code) XTestFakeKeyEvent(display, *code, False, CurrentTime);
	XSync(display, False);
}

void XUser::click(unsigned long window, int x, int y) {
	reach(window, x, y);
	XTestFakeButtonEvent(x_->display, 1, True, CurrentTime);
	XTestFakeButtonEvent(x_->display, 1, False, CurrentTime);
	XSync(x_->display, False);
}

void XUser::ctrl_wheel(unsigned long window, bool up) {
	Display* display = x_->display;
	XWindowAttributes attributes{};
	XGetWindowAttributes(display, window, &attributes);
	reach(window, attributes.width / 2, attributes.height / 2);
	KeyCode control = XKeysymToKeycode(display, XK_Control_L);
	XTestFakeKeyEvent(display, control, True, CurrentTime);
	XTestFakeButtonEvent(display, up ? 4 : 5, True, CurrentTime);
	XTestFakeButtonEvent(display, up ? 4 : 5, False, CurrentTime);
	XTestFakeKeyEvent(display, control, False, CurrentTime);
	XSync(display, False);
}

} // namespace bw::testing
