// The desktop's colour preference on Linux. The freedesktop portal's org.freedesktop.appearance
// color-scheme says it when a session bus answers (1 dark, 2 light, 0 no preference); otherwise GTK's
// own: gtk-application-prefer-dark-theme, or a dark theme by its name ("Adwaita-dark", GTK_THEME
// "Adwaita:dark"). GtkSettings is read only on the GUI thread inside the loop, where GTK may be used;
// any thread reads GTK_THEME and the settings.ini files GTK reads. The portal gets a private
// connection with a deadline of 100 ms on a context of the calling thread's own, so a bus that
// is slow to answer costs no more than that, and none is tried without a session bus. A window's
// build reads the preference twice (the background the program gives, then the pages' scheme), so
// the portal's answer of the last second is taken again rather than asked anew.
#include "core/linux/desktop_theme.hpp"

#include "browser/page_capabilities.hpp"
#include "core/linux/session_bus.hpp"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

namespace {

constexpr gint64 portal_deadline_us = 100'000;
constexpr gint64 answer_kept_us = 1'000'000;

bool dark_theme_name(std::string_view name) {
	auto ends_with = [&](std::string_view end) { return name.size() >= end.size() && name.substr(name.size() - end.size()) == end; };
	return ends_with("-dark") || ends_with(":dark") || ends_with("-Dark");
}

// The settings.ini files GTK 3 reads, the user's first.
bool settings_file_prefers_dark() {
	std::string files[] = {std::string(g_get_user_config_dir()) + "/gtk-3.0/settings.ini", "/etc/gtk-3.0/settings.ini"};
	for (const std::string& path : files) {
		GKeyFile* file = g_key_file_new();
		bool loaded = g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr);
		std::optional<bool> dark;
		if (loaded) {
			GError* error = nullptr;
			gboolean prefer = g_key_file_get_boolean(file, "Settings", "gtk-application-prefer-dark-theme", &error);
			if (error == nullptr) dark = prefer != FALSE;
			g_clear_error(&error);
			char* theme = g_key_file_get_string(file, "Settings", "gtk-theme-name", nullptr);
			if (theme != nullptr && dark_theme_name(theme)) dark = true;
			g_free(theme);
		}
		g_key_file_free(file);
		if (dark) return *dark;
	}
	return false;
}

bool gtk_prefers_dark() {
	if (const char* theme = std::getenv("GTK_THEME"); theme != nullptr && dark_theme_name(theme)) return true;
	if (g_main_context_is_owner(g_main_context_default()) && gdk_display_get_default() != nullptr) {
		if (GtkSettings* settings = gtk_settings_get_default()) {
			gboolean prefer = FALSE;
			char* theme = nullptr;
			g_object_get(settings, "gtk-application-prefer-dark-theme", &prefer, "gtk-theme-name", &theme, nullptr);
			bool dark = prefer != FALSE || (theme != nullptr && dark_theme_name(theme));
			g_free(theme);
			return dark;
		}
	}
	return settings_file_prefers_dark();
}

// One call to the portal. Shared by the caller and the operation under way: an operation the
// deadline left behind may complete later, or never when nobody runs the context any more.
struct PortalQuery {
	int references = 1;
	GCancellable* cancellable = g_cancellable_new();
	GDBusConnection* connection = nullptr;
	std::optional<guint32> scheme;
	bool done = false;
};

void release(PortalQuery* query) {
	if (--query->references > 0) return;
	if (query->connection != nullptr) {
		g_dbus_connection_close(query->connection, nullptr, nullptr, nullptr);
		g_object_unref(query->connection);
	}
	g_object_unref(query->cancellable);
	delete query;
}

// Settings.Read answers a variant, which older portals wrap in a second one.
void on_read(GObject* source, GAsyncResult* result, gpointer data) {
	auto* query = static_cast<PortalQuery*>(data);
	query->done = true;
	if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
		GVariant* value = nullptr;
		g_variant_get(reply, "(v)", &value);
		while (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
			GVariant* inner = g_variant_get_variant(value);
			g_variant_unref(value);
			value = inner;
		}
		if (value != nullptr && g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) query->scheme = g_variant_get_uint32(value);
		if (value != nullptr) g_variant_unref(value);
		g_variant_unref(reply);
	}
	release(query);
}

void on_connected(GObject*, GAsyncResult* result, gpointer data) {
	auto* query = static_cast<PortalQuery*>(data);
	query->connection = g_dbus_connection_new_for_address_finish(result, nullptr);
	if (query->connection == nullptr || g_cancellable_is_cancelled(query->cancellable)) {
		query->done = true;
		release(query);
		return;
	}
	// The reference passes to the call.
	g_dbus_connection_call(query->connection, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
	                       "Read", g_variant_new("(ss)", "org.freedesktop.appearance", "color-scheme"), G_VARIANT_TYPE("(v)"),
	                       G_DBUS_CALL_FLAGS_NO_AUTO_START, static_cast<int>(portal_deadline_us / 1000), query->cancellable, on_read, query);
}

std::optional<guint32> portal_color_scheme() {
	std::optional<std::string> address = session_bus_address();
	if (!address) return std::nullopt;
	GMainContext* context = g_main_context_new();
	g_main_context_push_thread_default(context);
	auto* query = new PortalQuery;
	query->references++;
	auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
	g_dbus_connection_new_for_address(address->c_str(), flags, nullptr, query->cancellable, on_connected, query);
	gint64 deadline = g_get_monotonic_time() + portal_deadline_us;
	while (!query->done && g_get_monotonic_time() < deadline) {
		if (!g_main_context_pending(context)) g_usleep(1000);
		g_main_context_iteration(context, FALSE);
	}
	g_cancellable_cancel(query->cancellable);
	while (g_main_context_pending(context)) g_main_context_iteration(context, FALSE);
	std::optional<guint32> scheme = query->done ? query->scheme : std::nullopt;
	release(query);
	g_main_context_pop_thread_default(context);
	g_main_context_unref(context);
	return scheme;
}

// The portal's last answer (none is one too), with when it came.
struct RecentAnswer {
	std::mutex mutex;
	std::optional<gint64> at;
	std::optional<guint32> scheme;
};

RecentAnswer& recent() {
	static RecentAnswer answer;
	return answer;
}

std::optional<guint32> recent_portal_color_scheme() {
	RecentAnswer& answer = recent();
	std::lock_guard lock(answer.mutex);
	if (!answer.at || g_get_monotonic_time() - *answer.at >= answer_kept_us) {
		answer.scheme = portal_color_scheme();
		answer.at = g_get_monotonic_time();
	}
	return answer.scheme;
}

} // namespace

void note_portal_color_scheme(uint32_t scheme) {
	RecentAnswer& answer = recent();
	std::lock_guard lock(answer.mutex);
	answer.scheme = scheme;
	answer.at = g_get_monotonic_time();
}

bool desktop_prefers_dark() {
	std::optional<guint32> scheme = recent_portal_color_scheme();
	if (scheme == 1u) return true;
	if (scheme == 2u) return false;
	return gtk_prefers_dark();
}

} // namespace bw
