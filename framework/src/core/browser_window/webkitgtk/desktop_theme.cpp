// The desktop's light or dark preference, live: GTK's gtk-application-prefer-dark-theme, which
// WebKitGTK turns into the pages' prefers-color-scheme, is set from the preference at start and
// from the settings portal's SettingChanged (org.freedesktop.appearance color-scheme) later; the
// views that follow it and were given a background get the desktop's. One subscription for the
// process, on the session bus's shared connection, made only where the session has a bus.
#include "core/browser_window/webkitgtk/engine_state.hpp"
#include "core/linux/desktop_theme.hpp"
#include "core/linux/session_bus.hpp"

#include <gio/gio.h>

#include <algorithm>

namespace bw::webkitgtk {

namespace {

struct Followers {
	std::vector<EngineState*> states;
	bool subscribing = false;
};

Followers& followers() {
	static Followers followed;
	return followed;
}

void apply(bool dark) {
	// Setting the property, even to the value it has, makes GTK load its theme anew, which slowed
	// every window's start.
	GtkSettings* settings = gtk_settings_get_default();
	gboolean now_dark = FALSE;
	g_object_get(settings, "gtk-application-prefer-dark-theme", &now_dark, nullptr);
	if ((now_dark != FALSE) != dark) g_object_set(settings, "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE, nullptr);
	BackgroundColor color = dark ? BackgroundColor{0x1e, 0x1e, 0x1e} : BackgroundColor{0xff, 0xff, 0xff};
	GdkRGBA rgba{color.red / 255.0, color.green / 255.0, color.blue / 255.0, 1.0};
	for (EngineState* state : followers().states)
		if (state->capabilities->background) webkit_web_view_set_background_color(state->view, &rgba);
}

// (namespace, key, value); the value may come wrapped in a second variant.
void on_setting_changed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer) {
	if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
	const gchar* space = nullptr;
	const gchar* key = nullptr;
	GVariant* value = nullptr;
	g_variant_get(parameters, "(&s&sv)", &space, &key, &value);
	while (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
		GVariant* inner = g_variant_get_variant(value);
		g_variant_unref(value);
		value = inner;
	}
	// 1 dark, 2 light, 0 no preference.
	if (std::string_view(space) == "org.freedesktop.appearance" && std::string_view(key) == "color-scheme" &&
	    g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
		note_portal_color_scheme(g_variant_get_uint32(value));
		apply(g_variant_get_uint32(value) == 1);
	}
	g_variant_unref(value);
}

void on_bus(GObject*, GAsyncResult* result, gpointer) {
	GDBusConnection* bus = g_bus_get_finish(result, nullptr);
	if (bus == nullptr) return;
	// Kept for the process's life, like the subscription.
	g_dbus_connection_signal_subscribe(bus, "org.freedesktop.portal.Desktop", "org.freedesktop.portal.Settings", "SettingChanged",
	                                   "/org/freedesktop/portal/desktop", "org.freedesktop.appearance", G_DBUS_SIGNAL_FLAGS_NONE, on_setting_changed,
	                                   nullptr, nullptr);
}

} // namespace

void follow_desktop_theme(EngineState* state) {
	if (!state->capabilities->follow_desktop_theme) return;
	followers().states.push_back(state);
	apply(desktop_prefers_dark());
	if (followers().subscribing || !session_bus_address()) return;
	followers().subscribing = true;
	g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, nullptr);
}

void stop_following_desktop_theme(EngineState* state) { std::erase(followers().states, state); }

} // namespace bw::webkitgtk
