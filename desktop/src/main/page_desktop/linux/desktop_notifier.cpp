// The desktop's notifications through the notification service on the session bus
// (org.freedesktop.Notifications, over GDBus). The connection is made when a page first asks.
#include "page_desktop/desktop_notifier.hpp"

#include "launcher_log.hpp"

#include "core/linux/session_bus.hpp"

#include <bw/window_gtk.h>
#include <gdk/gdkx.h>
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

constexpr const char* service = "org.freedesktop.Notifications";
constexpr const char* object_path = "/org/freedesktop/Notifications";
constexpr int call_limit_ms = 2000;
constexpr guint replacement_grace_ms = 500;

std::string error_text(GError* error) {
	std::string text = error != nullptr ? error->message : "unknown error";
	g_clear_error(&error);
	return text;
}

class FreedesktopNotifier final : public DesktopNotifier {
public:
	explicit FreedesktopNotifier(BringBack bring_back) : bring_back_(std::move(bring_back)) {}

	~FreedesktopNotifier() override {
		g_cancellable_cancel(asking_);
		g_object_unref(asking_);
		if (bus_ == nullptr) return;
		for (guint subscription : subscriptions_) g_dbus_connection_signal_unsubscribe(bus_, subscription);
		g_object_unref(bus_);
	}

	// Asked while the window is built: a service that hangs must not hold the page back. Where the
	// service's name is on the bus the answer is yes at once, and its capabilities are asked
	// meanwhile; after a failed ask the answer is no until an ask succeeds.
	bool available(std::string& why) override {
		if (capabilities_ == Capabilities::Known) return true;
		if (bus_ == nullptr && !connect(why)) return false;
		if (capabilities_ == Capabilities::Unknown) {
			if (!on_the_bus(why)) return false;
			ask_capabilities();
		}
		if (last_failure_.empty()) return true;
		why = last_failure_;
		return false;
	}

	void show(const bw::WindowHandle& window, std::shared_ptr<bw::PageNotification> notification) override {
		if (capabilities_ == Capabilities::Asking) {
			awaiting_capabilities_.emplace_back(window, std::move(notification));
			return;
		}
		if (capabilities_ != Capabilities::Known) return;
		const bw::NotificationContent& content = notification->content();
		guint32 replaces = 0;
		if (!content.tag.empty()) {
			// The service names the earlier one of the tag only in its reply: a newer one waits for it,
			// so that it replaces it rather than appearing beside it. Only the newest waits.
			if (!tags_in_flight_.insert(content.tag).second) {
				waiting_by_tag_.insert_or_assign(content.tag, std::make_pair(window, std::move(notification)));
				return;
			}
			auto earlier = by_tag_.find(content.tag);
			if (earlier != by_tag_.end()) {
				replaces = earlier->second;
				shown_.erase(earlier->second);
			}
		}
		std::string body = content.body;
		if (markup_) {
			gchar* escaped = g_markup_escape_text(body.c_str(), -1);
			body = escaped;
			g_free(escaped);
		}
		GVariantBuilder actions;
		g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
		g_variant_builder_add(&actions, "s", "default");
		g_variant_builder_add(&actions, "s", "Open");
		GVariantBuilder hints;
		g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
		g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("tarnwick"));
		if (content.silent) g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(TRUE));
		GVariant* arguments = g_variant_new("(susssasa{sv}i)", "Tarnwick", replaces, "tarnwick", content.title.c_str(), body.c_str(), &actions, &hints, -1);
		auto* pending = new Pending{this, window, std::move(notification), content.tag};
		g_dbus_connection_call(bus_, service, object_path, service, "Notify", arguments, G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, call_limit_ms,
		                       nullptr, on_notified, pending);
	}

private:
	struct Pending {
		FreedesktopNotifier* notifier;
		bw::WindowHandle window;
		std::shared_ptr<bw::PageNotification> page;
		std::string tag;
	};
	struct Shown {
		bw::WindowHandle window;
		std::shared_ptr<bw::PageNotification> page;
		std::string tag;
		std::string activation_token;
	};

	bool connect(std::string& why) {
		if (!bw::session_bus_address()) {
			why = "no session bus";
			return false;
		}
		GError* error = nullptr;
		bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
		if (bus_ == nullptr) {
			why = "no session bus (" + error_text(error) + ")";
			return false;
		}
		subscriptions_.push_back(subscribe("ActionInvoked", on_action));
		subscriptions_.push_back(subscribe("ActivationToken", on_token));
		subscriptions_.push_back(subscribe("NotificationClosed", on_closed));
		return true;
	}

	// Whether the service runs, or the bus starts it when it is called: the bus itself answers this.
	bool on_the_bus(std::string& why) {
		GVariant* owned = ask_bus("NameHasOwner", g_variant_new("(s)", service), "(b)", why);
		if (owned == nullptr) return false;
		gboolean has_owner = FALSE;
		g_variant_get(owned, "(b)", &has_owner);
		g_variant_unref(owned);
		if (has_owner) return true;
		GVariant* activatable = ask_bus("ListActivatableNames", nullptr, "(as)", why);
		if (activatable == nullptr) return false;
		const gchar** names = nullptr;
		g_variant_get(activatable, "(^a&s)", &names);
		bool startable = g_strv_contains(names, service);
		g_free(names);
		g_variant_unref(activatable);
		if (!startable) why = "no notification service on the session bus";
		return startable;
	}

	GVariant* ask_bus(const char* method, GVariant* arguments, const char* answer_type, std::string& why) {
		GError* error = nullptr;
		GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, arguments,
		                                              G_VARIANT_TYPE(answer_type), G_DBUS_CALL_FLAGS_NONE, call_limit_ms, nullptr, &error);
		if (reply == nullptr) why = "no notification service on the session bus (" + error_text(error) + ")";
		return reply;
	}

	void ask_capabilities() {
		capabilities_ = Capabilities::Asking;
		g_dbus_connection_call(bus_, service, object_path, service, "GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
		                       call_limit_ms, asking_, on_capabilities, this);
	}

	static void on_capabilities(GObject* bus, GAsyncResult* result, gpointer data) {
		GError* error = nullptr;
		GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
		// Cancelled: the notifier is gone.
		if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
			g_error_free(error);
			return;
		}
		auto& self = *static_cast<FreedesktopNotifier*>(data);
		if (reply != nullptr) {
			GVariantIter* capabilities = nullptr;
			g_variant_get(reply, "(as)", &capabilities);
			const char* capability = nullptr;
			while (g_variant_iter_loop(capabilities, "&s", &capability)) self.markup_ = self.markup_ || std::string_view(capability) == "body-markup";
			g_variant_iter_free(capabilities);
			g_variant_unref(reply);
			self.capabilities_ = Capabilities::Known;
			self.last_failure_.clear();
		} else {
			self.capabilities_ = Capabilities::Unknown;
			self.last_failure_ = "the notification service did not answer (" + error_text(error) + ")";
			launcher_log::write(self.last_failure_);
		}
		auto awaiting = std::exchange(self.awaiting_capabilities_, {});
		for (auto& [window, notification] : awaiting) {
			if (self.capabilities_ != Capabilities::Known)
				launcher_log::write("not shown: a notification of " + notification->content().origin);
			else if (!notification->page_closed())
				self.show(window, std::move(notification));
		}
	}

	guint subscribe(const char* member, GDBusSignalCallback callback) {
		return g_dbus_connection_signal_subscribe(bus_, service, service, member, object_path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, callback, this, nullptr);
	}

	void close(guint32 id) {
		g_dbus_connection_call(bus_, service, object_path, service, "CloseNotification", g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE,
		                       call_limit_ms, nullptr, nullptr, nullptr);
	}

	static void on_notified(GObject* bus, GAsyncResult* result, gpointer data) {
		std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
		FreedesktopNotifier& self = *pending->notifier;
		self.take_reply(*pending, G_DBUS_CONNECTION(bus), result);
		if (pending->tag.empty()) return;
		self.tags_in_flight_.erase(pending->tag);
		auto waiting = self.waiting_by_tag_.find(pending->tag);
		if (waiting == self.waiting_by_tag_.end()) return;
		auto [window, next] = std::move(waiting->second);
		self.waiting_by_tag_.erase(waiting);
		self.show(window, std::move(next));
	}

	// The service's answer to Notify: the notification is shown, or the page closed it meanwhile.
	void take_reply(const Pending& pending, GDBusConnection* bus, GAsyncResult* result) {
		GError* error = nullptr;
		GVariant* reply = g_dbus_connection_call_finish(bus, result, &error);
		if (reply == nullptr) {
			launcher_log::write("the notification service did not show a notification: " + error_text(error));
			return;
		}
		guint32 id = 0;
		g_variant_get(reply, "(u)", &id);
		g_variant_unref(reply);
		if (pending.page->page_closed()) {
			// Replaced while the service was still answering (the engine closes the old one when the
			// page makes a new one of its tag): the waiting one takes its place.
			if (!pending.tag.empty() && waiting_by_tag_.contains(pending.tag))
				by_tag_[pending.tag] = id;
			else
				close(id);
			return;
		}
		if (!pending.tag.empty()) by_tag_[pending.tag] = id;
		shown_.insert_or_assign(id, Shown{pending.window, pending.page, pending.tag, {}});
		// A page that closes a notification of a tag may show the next of the tag at once (WebKit closes
		// the old one itself when the page makes a new one of its tag): that one replaces it rather
		// than the service closing it first. The new one's request comes from the page's process a
		// moment later, after other events: a short grace, not the next idle moment.
		pending.page->on_page_closed([this, id, tagged = !pending.tag.empty()] {
			if (!tagged) {
				shown_.erase(id);
				close(id);
				return;
			}
			g_timeout_add(replacement_grace_ms, close_if_not_replaced, new std::pair<FreedesktopNotifier*, guint32>(this, id));
		});
		pending.page->shown();
	}

	static gboolean close_if_not_replaced(gpointer data) {
		std::unique_ptr<std::pair<FreedesktopNotifier*, guint32>> closing(static_cast<std::pair<FreedesktopNotifier*, guint32>*>(data));
		FreedesktopNotifier& self = *closing->first;
		auto shown = self.shown_.find(closing->second);
		if (shown != self.shown_.end() && shown->second.page->page_closed()) {
			self.forget(shown);
			self.close(closing->second);
		}
		return G_SOURCE_REMOVE;
	}

	void forget(std::map<guint32, Shown>::iterator shown) {
		auto tag = by_tag_.find(shown->second.tag);
		if (tag != by_tag_.end() && tag->second == shown->first) by_tag_.erase(tag);
		shown_.erase(shown);
	}

	static void on_token(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer data) {
		auto& self = *static_cast<FreedesktopNotifier*>(data);
		if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) return;
		guint32 id = 0;
		const char* token = nullptr;
		g_variant_get(parameters, "(u&s)", &id, &token);
		if (auto shown = self.shown_.find(id); shown != self.shown_.end()) shown->second.activation_token = token;
	}

	static void on_action(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer data) {
		auto& self = *static_cast<FreedesktopNotifier*>(data);
		if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) return;
		guint32 id = 0;
		const char* action = nullptr;
		g_variant_get(parameters, "(u&s)", &id, &action);
		auto shown = self.shown_.find(id);
		if (shown == self.shown_.end() || std::string_view(action) != "default") return;
		// The page's handler may close the window and so end the notification: kept for the call.
		std::shared_ptr<bw::PageNotification> page = shown->second.page;
		if (page->page_closed()) return;
		self.bring_back_(shown->second.window, shown->second.activation_token);
		page->clicked();
	}

	static void on_closed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer data) {
		auto& self = *static_cast<FreedesktopNotifier*>(data);
		if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) return;
		guint32 id = 0, reason = 0;
		g_variant_get(parameters, "(uu)", &id, &reason);
		auto shown = self.shown_.find(id);
		if (shown == self.shown_.end()) return;
		std::shared_ptr<bw::PageNotification> page = shown->second.page;
		self.forget(shown);
		page->closed();
	}

	BringBack bring_back_;
	GDBusConnection* bus_ = nullptr;
	std::vector<guint> subscriptions_;
	GCancellable* asking_ = g_cancellable_new();
	// Unknown: not asked, or the last ask failed (last_failure_ says how).
	enum class Capabilities { Unknown, Asking, Known };
	Capabilities capabilities_ = Capabilities::Unknown;
	std::string last_failure_;
	bool markup_ = false;
	// Shown once the capabilities are known.
	std::vector<std::pair<bw::WindowHandle, std::shared_ptr<bw::PageNotification>>> awaiting_capabilities_;
	std::map<guint32, Shown> shown_;
	std::map<std::string, guint32> by_tag_;
	std::set<std::string> tags_in_flight_;
	std::map<std::string, std::pair<bw::WindowHandle, std::shared_ptr<bw::PageNotification>>> waiting_by_tag_;
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::create(bw::ApplicationHandle, BringBack bring_back, TrayIcon) { return std::make_unique<FreedesktopNotifier>(std::move(bring_back)); }

namespace {

// GTK learns that a window was unmapped (iconified, withdrawn) only once it has handled the X
// server's event, which may still be queued when the news comes: the server is asked.
bool unmapped_on_x_server(GdkWindow* shown) {
	if (!GDK_IS_X11_WINDOW(shown)) return false;
	GdkDisplay* display = gdk_window_get_display(shown);
	XWindowAttributes attributes{};
	gdk_x11_display_error_trap_push(display);
	int known = XGetWindowAttributes(GDK_WINDOW_XDISPLAY(shown), GDK_WINDOW_XID(shown), &attributes);
	gdk_x11_display_error_trap_pop_ignored(display);
	return known != 0 && attributes.map_state != IsViewable;
}

} // namespace

bool out_of_sight(const bw::WindowHandle& window) {
	GtkWidget* native = GTK_WIDGET(bw_WindowGtk_getHandle(window.impl().inner()));
	GdkWindow* shown = gtk_widget_get_window(native);
	return !gtk_widget_get_mapped(native) || shown == nullptr ||
	       (gdk_window_get_state(shown) & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN)) != 0 || unmapped_on_x_server(shown);
}

// The token lets the window through the compositor's focus-stealing prevention (xdg-activation on
// Wayland, the startup id on X11).
void bring_back_window(const bw::WindowHandle& window, const std::string& activation_token) {
	GtkWindow* native = GTK_WINDOW(bw_WindowGtk_getHandle(window.impl().inner()));
	if (!activation_token.empty()) gtk_window_set_startup_id(native, activation_token.c_str());
	// A window the window manager withdrew is still shown as far as GTK knows: mapped anew.
	GdkWindow* shown = gtk_widget_get_window(GTK_WIDGET(native));
	if (shown != nullptr && (gdk_window_get_state(shown) & GDK_WINDOW_STATE_WITHDRAWN) != 0) gtk_widget_hide(GTK_WIDGET(native));
	window.show();
	gtk_window_deiconify(native);
	gtk_window_present(native);
}

} // namespace tarnwick
