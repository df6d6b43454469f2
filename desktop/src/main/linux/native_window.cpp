#include "native_window.hpp"

#include <bw/window_gtk.h>
#include <gdk/gdkx.h>

#include <string>

namespace tarnwick::native_window {

namespace {

GtkWindow* gtk_window(const bw::WindowHandle& window) { return GTK_WINDOW(bw_WindowGtk_getHandle(window.impl().inner())); }

// Wayland tells a client nothing of where its window is.
bool has_positions() { return GDK_IS_X11_DISPLAY(gdk_display_get_default()); }

// The monitor the window's top-left corner area lies on, if any.
GdkMonitor* monitor_at(int x, int y) {
	GdkDisplay* display = gdk_display_get_default();
	for (int i = 0; i < gdk_display_get_n_monitors(display); i++) {
		GdkMonitor* monitor = gdk_display_get_monitor(display, i);
		GdkRectangle area;
		gdk_monitor_get_geometry(monitor, &area);
		if (x + 50 > area.x && x + 50 < area.x + area.width && y + 20 > area.y && y + 20 < area.y + area.height) return monitor;
	}
	return nullptr;
}

// Where a window lands without a position of its own. Wayland names no primary monitor: the first.
GdkMonitor* default_monitor() {
	GdkDisplay* display = gdk_display_get_default();
	GdkMonitor* primary = gdk_display_get_primary_monitor(display);
	return primary != nullptr ? primary : gdk_display_get_monitor(display, 0);
}

WorkArea work_area(GdkMonitor* monitor) {
	GdkRectangle area{};
	if (monitor != nullptr) gdk_monitor_get_workarea(monitor, &area);
	return WorkArea{area.x, area.y, area.width, area.height};
}

} // namespace

struct Tracker::Impl {
	WindowState state;
};

bool raise(const bw::WindowHandle& window) {
	GtkWindow* native = gtk_window(window);
	if (!gtk_widget_get_visible(GTK_WIDGET(native))) return false;
	gtk_window_deiconify(native);
	gtk_window_present(native);
	return true;
}

void request_close(const bw::WindowHandle& window) { gtk_window_close(gtk_window(window)); }

const char* display_kind() {
	GdkDisplay* display = gdk_display_get_default();
	if (display != nullptr && GDK_IS_X11_DISPLAY(display)) return "x11";
	// GDK's type names: GdkWaylandDisplay, GdkBroadwayDisplay.
	if (display != nullptr && g_str_has_prefix(G_OBJECT_TYPE_NAME(display), "GdkWayland")) return "wayland";
	return display != nullptr ? G_OBJECT_TYPE_NAME(display) : "none";
}

// The state's size is the client area's: a frame the window manager adds may still reach past the
// work area by its own width.
void place(const bw::WindowHandle& window, const WindowState& state) {
	GtkWindow* native = gtk_window(window);
	GdkMonitor* landed = has_positions() && state.x ? monitor_at(*state.x, *state.y) : nullptr;
	WindowState placed = state;
	// Centred by GTK on the default monitor.
	if (landed == nullptr) placed.x = placed.y = std::nullopt;
	placed = fitted_to(placed, work_area(landed != nullptr ? landed : default_monitor()));
	gtk_window_resize(native, placed.width, placed.height);
	if (!has_positions() || !state.x) return;
	if (landed != nullptr)
		gtk_window_move(native, *placed.x, *placed.y);
	else
		gtk_window_set_position(native, GTK_WIN_POS_CENTER);
}

void on_session_end(const bw::WindowHandle&, std::function<void()>) {}

void restore_maximized(const bw::WindowHandle& window, const WindowState& state) {
	if (state.maximized) gtk_window_maximize(gtk_window(window));
}

namespace {

gboolean on_configure(GtkWidget* widget, GdkEventConfigure*, gpointer data) {
	auto* impl = static_cast<Tracker::Impl*>(data);
	GtkWindow* window = GTK_WINDOW(widget);
	// A maximised window's geometry is the monitor's; the normal one is what comes back. Under
	// Wayland the configure event of a maximise comes before GTK's own flag changes: the GDK
	// window's state already tells.
	GdkWindow* native = gtk_widget_get_window(widget);
	bool maximized = native != nullptr && (gdk_window_get_state(native) & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN)) != 0;
	if (maximized || gtk_window_is_maximized(window)) return FALSE;
	gtk_window_get_size(window, &impl->state.width, &impl->state.height);
	if (has_positions()) {
		int x = 0, y = 0;
		gtk_window_get_position(window, &x, &y);
		impl->state.x = x;
		impl->state.y = y;
	}
	return FALSE;
}

gboolean on_window_state(GtkWidget*, GdkEventWindowState* event, gpointer data) {
	// Only a change of the flag itself: the events of mapping and focus come before the compositor
	// confirms a maximise asked for at start, and a window closed meanwhile stays maximised.
	if (event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED)
		static_cast<Tracker::Impl*>(data)->state.maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
	return FALSE;
}

} // namespace

Tracker::Tracker() : impl_(std::make_unique<Impl>()) {}

// The window is gone by now, and its handlers with it.
Tracker::~Tracker() = default;

void Tracker::follow(const bw::WindowHandle& window, const WindowState& placed) {
	impl_->state = placed;
	if (!has_positions()) impl_->state.x = impl_->state.y = std::nullopt;
	GtkWidget* native = GTK_WIDGET(gtk_window(window));
	g_signal_connect(native, "configure-event", G_CALLBACK(on_configure), impl_.get());
	g_signal_connect(native, "window-state-event", G_CALLBACK(on_window_state), impl_.get());
}

WindowState Tracker::last() const { return impl_->state; }

} // namespace tarnwick::native_window
