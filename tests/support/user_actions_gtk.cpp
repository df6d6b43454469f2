#include "support/user_actions.hpp"

#include <bw/window_gtk.h>

#include <gdk/gdkx.h>
#include <X11/Xlib.h>

namespace bw::testing {

void user_close(bw_Window* window) {
	GtkWidget* widget = bw_WindowGtk_getHandle(window);
	gtk_widget_realize(widget);
	::Window xid = gdk_x11_window_get_xid(gtk_widget_get_window(widget));
	// A connection of its own, as a window manager sends the request when the close button is clicked.
	Display* display = XOpenDisplay(nullptr);
	XEvent event{};
	event.xclient.type = ClientMessage;
	event.xclient.window = xid;
	event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
	event.xclient.format = 32;
	event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
	event.xclient.data.l[1] = CurrentTime;
	XSendEvent(display, xid, False, NoEventMask, &event);
	XFlush(display);
	XCloseDisplay(display);
}

bool system_visible(bw_Window* window) { return gtk_widget_get_visible(bw_WindowGtk_getHandle(window)) != FALSE; }

} // namespace bw::testing
