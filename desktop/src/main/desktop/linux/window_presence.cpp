#include "desktop/window_presence.hpp"

#include <bw/window_gtk.h>

namespace tarnwick::window_presence {

namespace {

GtkWindow* native(const bw::WindowHandle& window) { return GTK_WINDOW(bw_WindowGtk_getHandle(window.impl().inner())); }

} // namespace

bool on_screen(const bw::WindowHandle& window) {
	GtkWidget* widget = GTK_WIDGET(native(window));
	GdkWindow* gdk = gtk_widget_get_window(widget);
	return gtk_widget_get_visible(widget) && (gdk == nullptr || (gdk_window_get_state(gdk) & GDK_WINDOW_STATE_ICONIFIED) == 0);
}

bool hidden(const bw::WindowHandle& window) { return !gtk_widget_get_visible(GTK_WIDGET(native(window))); }

void hide(const bw::WindowHandle& window) { window.hide(); }

void show(const bw::WindowHandle& window) {
	GtkWindow* shown = native(window);
	window.show();
	gtk_window_deiconify(shown);
	gtk_window_present(shown);
}

void minimize(const bw::WindowHandle& window) { gtk_window_iconify(native(window)); }

} // namespace tarnwick::window_presence
