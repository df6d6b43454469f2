#include "support/user_actions.hpp"

#include <bw/window_gtk.h>

#include "launcher/x_display.hpp"

#include <gdk/gdkx.h>

namespace bw::testing {

void user_close(bw_Window* window) {
	GtkWidget* widget = bw_WindowGtk_getHandle(window);
	gtk_widget_realize(widget);
	// A connection of its own, as a window manager sends the request when the close button is clicked.
	tarnwick::testing::XDisplay().request_close(gdk_x11_window_get_xid(gtk_widget_get_window(widget)));
}

bool system_visible(bw_Window* window) { return gtk_widget_get_visible(bw_WindowGtk_getHandle(window)) != FALSE; }

} // namespace bw::testing
