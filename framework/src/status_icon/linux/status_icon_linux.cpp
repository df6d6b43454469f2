// The item is exported by the program itself with GDBus, so that Activate (the left click) reaches
// it: the StatusNotifierItem at /StatusNotifierItem under the name org.kde.StatusNotifierItem-<pid>-1,
// its menu at /MenuBar. It registers with org.kde.StatusNotifierWatcher whenever a watcher appears
// (a restarted watcher knows nothing of earlier items), and counts as shown only once the watcher
// accepted it and says a host is registered. Calls from the host are answered at once; what they
// ask for runs afterwards, from an idle callback.
#include "core/linux/session_bus.hpp"
#include "status_icon/status_icon.hpp"

#include <gio/gio.h>
#include <unistd.h>

#include <string>

namespace bw {

namespace {

constexpr const char* watcher_name = "org.kde.StatusNotifierWatcher";
constexpr const char* watcher_path = "/StatusNotifierWatcher";
constexpr const char* item_path = "/StatusNotifierItem";
constexpr const char* menu_path = "/MenuBar";
constexpr int call_timeout_ms = 5000;

constexpr const char* interfaces_xml = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
 </interface>
 <interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
   <arg type="i" name="parentId" direction="in"/><arg type="i" name="recursionDepth" direction="in"/>
   <arg type="as" name="propertyNames" direction="in"/>
   <arg type="u" name="revision" direction="out"/><arg type="(ia{sv}av)" name="layout" direction="out"/>
  </method>
  <method name="GetGroupProperties">
   <arg type="ai" name="ids" direction="in"/><arg type="as" name="propertyNames" direction="in"/>
   <arg type="a(ia{sv})" name="properties" direction="out"/>
  </method>
  <method name="GetProperty">
   <arg type="i" name="id" direction="in"/><arg type="s" name="name" direction="in"/><arg type="v" name="value" direction="out"/>
  </method>
  <method name="Event">
   <arg type="i" name="id" direction="in"/><arg type="s" name="eventId" direction="in"/>
   <arg type="v" name="data" direction="in"/><arg type="u" name="timestamp" direction="in"/>
  </method>
  <method name="EventGroup">
   <arg type="a(isvu)" name="events" direction="in"/><arg type="ai" name="idErrors" direction="out"/>
  </method>
  <method name="AboutToShow"><arg type="i" name="id" direction="in"/><arg type="b" name="needUpdate" direction="out"/></method>
  <method name="AboutToShowGroup">
   <arg type="ai" name="ids" direction="in"/><arg type="ai" name="updatesNeeded" direction="out"/><arg type="ai" name="idErrors" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated"><arg type="a(ia{sv})" name="updatedProps"/><arg type="a(ias)" name="removedProps"/></signal>
  <signal name="LayoutUpdated"><arg type="u" name="revision"/><arg type="i" name="parent"/></signal>
  <signal name="ItemActivationRequested"><arg type="i" name="id"/><arg type="u" name="timestamp"/></signal>
 </interface>
</node>)xml";

GVariant* pixmaps_variant(const std::vector<StatusIconPixmap>& pixmaps) {
	GVariantBuilder builder;
	g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
	for (const StatusIconPixmap& pixmap : pixmaps) {
		GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, pixmap.argb.data(), pixmap.argb.size(), 1);
		g_variant_builder_add(&builder, "(ii@ay)", pixmap.width, pixmap.height, bytes);
	}
	return g_variant_builder_end(&builder);
}

class LinuxStatusIcon final : public StatusIcon {
public:
	explicit LinuxStatusIcon(StatusIconOptions options) : options_(std::move(options)) {
		name_ = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1";
		cancellable_ = g_cancellable_new();
		if (session_bus_address()) g_bus_get(G_BUS_TYPE_SESSION, cancellable_, on_bus, this);
	}

	~LinuxStatusIcon() override {
		g_cancellable_cancel(cancellable_);
		g_object_unref(cancellable_);
		if (idle_ != 0) g_source_remove(idle_);
		if (watch_ != 0) g_bus_unwatch_name(watch_);
		if (owner_ != 0) g_bus_unown_name(owner_);
		if (connection_ != nullptr) {
			for (guint object : {item_object_, menu_object_})
				if (object != 0) g_dbus_connection_unregister_object(connection_, object);
			for (guint subscription : host_signals_)
				if (subscription != 0) g_dbus_connection_signal_unsubscribe(connection_, subscription);
			g_signal_handlers_disconnect_by_data(connection_, this);
			g_object_unref(connection_);
		}
		if (info_ != nullptr) g_dbus_node_info_unref(info_);
	}

	bool shown() const override { return shown_; }

	void set_tooltip(const std::string& text) override {
		if (text == options_.tooltip) return;
		options_.tooltip = text;
		emit(item_path, "org.kde.StatusNotifierItem", "NewToolTip", nullptr);
	}

	void set_attention(bool needs_attention) override {
		if (needs_attention == attention_) return;
		attention_ = needs_attention;
		emit(item_path, "org.kde.StatusNotifierItem", "NewStatus", g_variant_new("(s)", status()));
	}

	// Notifications are the notification service's here.
	bool show_balloon(StatusIconBalloon) override { return false; }
	void hide_balloon() override {}

	void set_checked(std::size_t item, bool checked) override {
		if (item >= options_.menu.size() || options_.menu[item].checked == checked) return;
		options_.menu[item].checked = checked;
		GVariantBuilder updated;
		g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
		g_variant_builder_add(&updated, "(i@a{sv})", static_cast<gint32>(item + 1), item_properties(item));
		emit(menu_path, "com.canonical.dbusmenu", "ItemsPropertiesUpdated", g_variant_new("(@a(ia{sv})@a(ias))", g_variant_builder_end(&updated),
		                                                                                  g_variant_new_array(G_VARIANT_TYPE("(ias)"), nullptr, 0)));
	}

private:
	const char* status() const { return attention_ ? "NeedsAttention" : "Active"; }

	void emit(const char* path, const char* interface, const char* signal, GVariant* parameters) {
		if (connection_ == nullptr || g_dbus_connection_is_closed(connection_)) {
			if (parameters != nullptr) g_variant_unref(g_variant_ref_sink(parameters));
			return;
		}
		g_dbus_connection_emit_signal(connection_, nullptr, path, interface, signal, parameters, nullptr);
	}

	void set_shown(bool shown) {
		if (shown == shown_) return;
		shown_ = shown;
		if (options_.on_shown) options_.on_shown(shown);
	}

	// The bus is there (or not: no icon, quietly).
	static void on_bus(GObject*, GAsyncResult* result, gpointer data) {
		GDBusConnection* connection = g_bus_get_finish(result, nullptr);
		if (connection == nullptr) return;
		auto* self = static_cast<LinuxStatusIcon*>(data);
		self->connection_ = connection;
		g_signal_connect(connection, "closed", G_CALLBACK(on_closed), self);
		self->info_ = g_dbus_node_info_new_for_xml(interfaces_xml, nullptr);
		static const GDBusInterfaceVTable vtable{on_call, on_get, nullptr, {}};
		self->item_object_ = g_dbus_connection_register_object(connection, item_path, self->info_->interfaces[0], &vtable, self, nullptr, nullptr);
		self->menu_object_ = g_dbus_connection_register_object(connection, menu_path, self->info_->interfaces[1], &vtable, self, nullptr, nullptr);
		for (int i = 0; i < 2; i++)
			self->host_signals_[i] = g_dbus_connection_signal_subscribe(
			    connection, watcher_name, watcher_name, i == 0 ? "StatusNotifierHostRegistered" : "StatusNotifierHostUnregistered", watcher_path, nullptr,
			    G_DBUS_SIGNAL_FLAGS_NONE, [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer data) {
				    static_cast<LinuxStatusIcon*>(data)->ask_for_host();
			    },
			    self, nullptr);
		self->owner_ = g_bus_own_name_on_connection(connection, self->name_.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, on_named, on_unnamed, self, nullptr);
	}

	static void on_closed(GDBusConnection*, gboolean, GError*, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		self->registered_ = false;
		self->set_shown(false);
	}

	static void watch(LinuxStatusIcon* self) {
		if (self->watch_ == 0)
			self->watch_ = g_bus_watch_name_on_connection(self->connection_, watcher_name, G_BUS_NAME_WATCHER_FLAGS_NONE, on_watcher, on_no_watcher, self, nullptr);
	}

	static void on_named(GDBusConnection*, const gchar*, gpointer data) { watch(static_cast<LinuxStatusIcon*>(data)); }

	// Without the name (refused, as in a sandbox), the item registers by its path.
	static void on_unnamed(GDBusConnection* connection, const gchar*, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		if (connection == nullptr) return;
		self->name_ = item_path;
		watch(self);
	}

	static void on_watcher(GDBusConnection* connection, const gchar*, const gchar*, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		self->registered_ = false;
		g_dbus_connection_call(connection, watcher_name, watcher_path, watcher_name, "RegisterStatusNotifierItem", g_variant_new("(s)", self->name_.c_str()),
		                       nullptr, G_DBUS_CALL_FLAGS_NONE, call_timeout_ms, self->cancellable_, on_registered, self);
	}

	static void on_no_watcher(GDBusConnection*, const gchar*, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		self->registered_ = false;
		self->set_shown(false);
	}

	static void on_registered(GObject* source, GAsyncResult* result, gpointer data) {
		GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
		if (reply == nullptr) return;
		g_variant_unref(reply);
		auto* self = static_cast<LinuxStatusIcon*>(data);
		self->registered_ = true;
		self->ask_for_host();
	}

	void ask_for_host() {
		if (!registered_ || connection_ == nullptr) return;
		g_dbus_connection_call(connection_, watcher_name, watcher_path, "org.freedesktop.DBus.Properties", "Get",
		                       g_variant_new("(ss)", watcher_name, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
		                       call_timeout_ms, cancellable_, on_host, this);
	}

	static void on_host(GObject* source, GAsyncResult* result, gpointer data) {
		GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
		if (reply == nullptr) return;
		auto* self = static_cast<LinuxStatusIcon*>(data);
		GVariant* value = nullptr;
		g_variant_get(reply, "(v)", &value);
		bool host = g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
		g_variant_unref(value);
		g_variant_unref(reply);
		self->set_shown(self->registered_ && host);
	}

	GVariant* item_properties(std::size_t index) const {
		const StatusIconMenuItem& item = options_.menu[index];
		GVariantBuilder properties;
		g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
		if (item.kind == StatusIconMenuItem::Kind::Separator) {
			g_variant_builder_add(&properties, "{sv}", "type", g_variant_new_string("separator"));
			return g_variant_builder_end(&properties);
		}
		g_variant_builder_add(&properties, "{sv}", "label", g_variant_new_string(item.label.c_str()));
		if (item.kind == StatusIconMenuItem::Kind::Check) {
			g_variant_builder_add(&properties, "{sv}", "toggle-type", g_variant_new_string("checkmark"));
			g_variant_builder_add(&properties, "{sv}", "toggle-state", g_variant_new_int32(item.checked ? 1 : 0));
		}
		return g_variant_builder_end(&properties);
	}

	GVariant* root_properties() const {
		GVariantBuilder properties;
		g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
		g_variant_builder_add(&properties, "{sv}", "children-display", g_variant_new_string("submenu"));
		return g_variant_builder_end(&properties);
	}

	// The menu is one level deep: the root (0) and its items (1..n).
	GVariant* layout(gint32 parent, gint32 depth) const {
		GVariantBuilder children;
		g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
		if (parent == 0 && depth != 0)
			for (std::size_t i = 0; i < options_.menu.size(); i++)
				g_variant_builder_add(&children, "v",
				                      g_variant_new("(i@a{sv}@av)", static_cast<gint32>(i + 1), item_properties(i), g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0)));
		GVariant* properties = parent == 0 ? root_properties() : item_properties(static_cast<std::size_t>(parent - 1));
		return g_variant_new("(u(i@a{sv}@av))", revision_, parent, properties, g_variant_builder_end(&children));
	}

	bool known(gint32 id) const { return id >= 0 && static_cast<std::size_t>(id) <= options_.menu.size(); }

	// What the host asked for runs after the answer, from the loop.
	void later(std::function<void()> call) {
		if (!call) return;
		pending_.push_back(std::move(call));
		if (idle_ == 0)
			idle_ = g_idle_add(
			    [](gpointer data) -> gboolean {
				    auto* self = static_cast<LinuxStatusIcon*>(data);
				    self->idle_ = 0;
				    std::vector<std::function<void()>> calls;
				    calls.swap(self->pending_);
				    for (auto& call : calls) call();
				    return G_SOURCE_REMOVE;
			    },
			    this);
	}

	void clicked(gint32 id, const gchar* event) {
		if (std::string(event) != "clicked" || id < 1 || !known(id)) return;
		later(options_.menu[static_cast<std::size_t>(id - 1)].on_click);
	}

	static void on_call(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method, GVariant* parameters,
	                    GDBusMethodInvocation* invocation, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		std::string name = method;
		if (std::string(interface) == "org.kde.StatusNotifierItem") {
			g_dbus_method_invocation_return_value(invocation, nullptr);
			if (name == "Activate") self->later(self->options_.on_activate);
			return;
		}
		if (name == "GetLayout") {
			gint32 parent = 0, depth = 0;
			g_variant_get(parameters, "(ii^a&s)", &parent, &depth, nullptr);
			if (!self->known(parent)) return self->unknown(invocation, parent);
			if (parent == 0 && self->options_.before_menu) self->options_.before_menu();
			g_dbus_method_invocation_return_value(invocation, self->layout(parent, depth));
		} else if (name == "GetGroupProperties") {
			GVariantIter* ids = nullptr;
			g_variant_get(parameters, "(ai^a&s)", &ids, nullptr);
			GVariantBuilder found;
			g_variant_builder_init(&found, G_VARIANT_TYPE("a(ia{sv})"));
			gint32 id = 0;
			bool any = false;
			while (g_variant_iter_next(ids, "i", &id)) {
				any = true;
				if (self->known(id)) g_variant_builder_add(&found, "(i@a{sv})", id, id == 0 ? self->root_properties() : self->item_properties(static_cast<std::size_t>(id - 1)));
			}
			g_variant_iter_free(ids);
			if (!any)
				for (std::size_t i = 0; i < self->options_.menu.size(); i++)
					g_variant_builder_add(&found, "(i@a{sv})", static_cast<gint32>(i + 1), self->item_properties(i));
			g_dbus_method_invocation_return_value(invocation, g_variant_new("(@a(ia{sv}))", g_variant_builder_end(&found)));
		} else if (name == "GetProperty") {
			gint32 id = 0;
			const gchar* property = nullptr;
			g_variant_get(parameters, "(i&s)", &id, &property);
			if (!self->known(id)) return self->unknown(invocation, id);
			GVariant* properties = id == 0 ? self->root_properties() : self->item_properties(static_cast<std::size_t>(id - 1));
			GVariant* value = g_variant_lookup_value(properties, property, nullptr);
			g_variant_unref(g_variant_ref_sink(properties));
			if (value == nullptr) return g_dbus_method_invocation_return_dbus_error(invocation, "com.canonical.dbusmenu.UnknownProperty", property);
			g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
			g_variant_unref(value);
		} else if (name == "Event") {
			gint32 id = 0;
			const gchar* event = nullptr;
			g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
			if (!self->known(id)) return self->unknown(invocation, id);
			g_dbus_method_invocation_return_value(invocation, nullptr);
			self->clicked(id, event);
		} else if (name == "EventGroup") {
			GVariantIter* events = nullptr;
			g_variant_get(parameters, "(a(isvu))", &events);
			GVariantBuilder errors;
			g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
			gint32 id = 0;
			const gchar* event = nullptr;
			bool any_known = false;
			while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
				if (!self->known(id)) {
					g_variant_builder_add(&errors, "i", id);
					continue;
				}
				any_known = true;
				self->clicked(id, event);
			}
			g_variant_iter_free(events);
			if (!any_known) {
				g_variant_builder_clear(&errors);
				return self->unknown(invocation, id);
			}
			g_dbus_method_invocation_return_value(invocation, g_variant_new("(@ai)", g_variant_builder_end(&errors)));
		} else if (name == "AboutToShow") {
			gint32 id = 0;
			g_variant_get(parameters, "(i)", &id);
			if (!self->known(id)) return self->unknown(invocation, id);
			// Check items changed meanwhile are announced by ItemsPropertiesUpdated.
			if (id == 0 && self->options_.before_menu) self->options_.before_menu();
			g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
		} else if (name == "AboutToShowGroup") {
			GVariantIter* ids = nullptr;
			g_variant_get(parameters, "(ai)", &ids);
			GVariantBuilder errors;
			g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
			gint32 id = 0;
			while (g_variant_iter_next(ids, "i", &id))
				if (!self->known(id)) g_variant_builder_add(&errors, "i", id);
			g_variant_iter_free(ids);
			g_dbus_method_invocation_return_value(invocation,
			                                      g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0), g_variant_builder_end(&errors)));
		} else {
			g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod", method);
		}
	}

	void unknown(GDBusMethodInvocation* invocation, gint32 id) {
		std::string text = "no menu item " + std::to_string(id);
		g_dbus_method_invocation_return_dbus_error(invocation, "com.canonical.dbusmenu.UnknownId", text.c_str());
	}

	static GVariant* on_get(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* property, GError** error, gpointer data) {
		auto* self = static_cast<LinuxStatusIcon*>(data);
		const StatusIconOptions& o = self->options_;
		std::string name = property;
		if (std::string(interface) == "com.canonical.dbusmenu") {
			if (name == "Version") return g_variant_new_uint32(3);
			if (name == "TextDirection") return g_variant_new_string("ltr");
			if (name == "Status") return g_variant_new_string("normal");
			if (name == "IconThemePath") return g_variant_new_strv(nullptr, 0);
		} else {
			if (name == "Category") return g_variant_new_string("ApplicationStatus");
			if (name == "Id") return g_variant_new_string(o.id.c_str());
			if (name == "Title") return g_variant_new_string(o.title.c_str());
			if (name == "Status") return g_variant_new_string(self->status());
			if (name == "WindowId") return g_variant_new_int32(0);
			if (name == "IconName") return g_variant_new_string(o.icon_name.c_str());
			if (name == "IconPixmap") return pixmaps_variant(o.pixmaps);
			if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return pixmaps_variant({});
			if (name == "IconThemePath" || name == "OverlayIconName" || name == "AttentionIconName" || name == "AttentionMovieName") return g_variant_new_string("");
			if (name == "ToolTip") return g_variant_new("(s@a(iiay)ss)", o.icon_name.c_str(), pixmaps_variant({}), o.tooltip.c_str(), "");
			if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
			if (name == "Menu") return g_variant_new_object_path(menu_path);
		}
		g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
		return nullptr;
	}

	StatusIconOptions options_;
	std::string name_;
	GCancellable* cancellable_ = nullptr;
	GDBusConnection* connection_ = nullptr;
	GDBusNodeInfo* info_ = nullptr;
	guint item_object_ = 0, menu_object_ = 0, owner_ = 0, watch_ = 0, idle_ = 0;
	guint host_signals_[2]{0, 0};
	guint32 revision_ = 1;
	bool registered_ = false, shown_ = false, attention_ = false;
	std::vector<std::function<void()>> pending_;
};

} // namespace

std::unique_ptr<StatusIcon> StatusIcon::create(ApplicationHandle, StatusIconOptions options) {
	return std::make_unique<LinuxStatusIcon>(std::move(options));
}

} // namespace bw
