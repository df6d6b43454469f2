#include "x_display.hpp"

#include <X11/Xlib.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

namespace tarnwick::testing {

namespace {

// An X server resets itself when its last client leaves and refuses connections meanwhile.
Display* open_display() {
	for (int attempt = 0; attempt < 100; attempt++) {
		if (Display* display = XOpenDisplay(nullptr)) return display;
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}
	throw std::runtime_error("no X display");
}

} // namespace

XDisplay::XDisplay() : display_(open_display()) {}

XDisplay::~XDisplay() { XCloseDisplay(display_); }

std::vector<XDisplay::TopLevel> XDisplay::top_levels() {
	std::vector<TopLevel> found;
	::Window root_return = 0, parent = 0;
	::Window* children = nullptr;
	unsigned int count = 0;
	XSync(display_, False);
	if (!XQueryTree(display_, DefaultRootWindow(display_), &root_return, &parent, &children, &count)) return found;
	for (unsigned int i = 0; i < count; i++) {
		XWindowAttributes attributes;
		if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
		char* name = nullptr;
		std::string title;
		if (XFetchName(display_, children[i], &name) && name != nullptr) {
			title = name;
			XFree(name);
		}
		found.push_back(TopLevel{children[i], title, attributes.width, attributes.height, attributes.map_state == IsViewable});
	}
	if (children != nullptr) XFree(children);
	return found;
}

std::optional<XDisplay::TopLevel> XDisplay::find(const std::string& title) {
	for (const TopLevel& window : top_levels())
		if (window.mapped && window.title == title) return window;
	return std::nullopt;
}

int XDisplay::distinct_colours(XWindowId window) {
	XWindowAttributes attributes;
	if (!XGetWindowAttributes(display_, window, &attributes)) return 0;
	XImage* image = XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
	if (image == nullptr) return 0;
	std::set<unsigned long> colours;
	for (int y = 0; y < attributes.height && colours.size() < 64; y += 3)
		for (int x = 0; x < attributes.width && colours.size() < 64; x += 3) colours.insert(XGetPixel(image, x, y));
	XDestroyImage(image);
	return static_cast<int>(colours.size());
}

void XDisplay::request_close(XWindowId window) {
	XEvent event{};
	event.xclient.type = ClientMessage;
	event.xclient.window = window;
	event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
	event.xclient.format = 32;
	event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
	event.xclient.data.l[1] = CurrentTime;
	XSendEvent(display_, window, False, NoEventMask, &event);
	XFlush(display_);
}

} // namespace tarnwick::testing
