#include "status_notifier_host.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>

namespace tarnwick::testing {

namespace {

constexpr const char* watcher_xml = R"xml(<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
</node>)xml";

struct Serving {
	StatusNotifierHost* host;
	std::vector<StatusNotifierHost::Item>* items;
	std::mutex* mutex;
};

} // namespace

StatusNotifierHost::StatusNotifierHost() {
	GError* error = nullptr;
	char* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
	EXPECT_NE(address, nullptr) << (error != nullptr ? error->message : "");
	if (address == nullptr) return;
	auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
	calling_ = g_dbus_connection_new_for_address_sync(address, flags, nullptr, nullptr, nullptr);
	context_ = g_main_context_new();
	loop_ = g_main_loop_new(context_, FALSE);
	std::promise<void> ready;
	std::future<void> readied = ready.get_future();
	thread_ = std::thread([this, address, flags, &ready] {
		g_main_context_push_thread_default(context_);
		serving_ = g_dbus_connection_new_for_address_sync(address, flags, nullptr, nullptr, nullptr);
		static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(watcher_xml, nullptr);
		static const GDBusInterfaceVTable vtable{
		    [](GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
		       GDBusMethodInvocation* invocation, gpointer data) {
			    auto* self = static_cast<StatusNotifierHost*>(data);
			    const gchar* service = nullptr;
			    g_variant_get(parameters, "(&s)", &service);
			    if (std::string(method) == "RegisterStatusNotifierItem") {
				    Item item = service[0] == '/' ? Item{sender, service} : Item{service, "/StatusNotifierItem"};
				    {
					    std::lock_guard lock(self->mutex_);
					    self->items_.push_back(item);
				    }
				    std::string registered = item.bus_name + item.path;
				    g_dbus_connection_emit_signal(connection, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered",
				                                  g_variant_new("(s)", registered.c_str()), nullptr);
			    }
			    g_dbus_method_invocation_return_value(invocation, nullptr);
		    },
		    [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GError**, gpointer data) -> GVariant* {
			    auto* self = static_cast<StatusNotifierHost*>(data);
			    std::string name = property;
			    if (name == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
			    if (name == "ProtocolVersion") return g_variant_new_int32(0);
			    std::vector<const gchar*> entries;
			    std::vector<std::string> texts;
			    std::lock_guard lock(self->mutex_);
			    for (const Item& item : self->items_) texts.push_back(item.bus_name + item.path);
			    for (const std::string& text : texts) entries.push_back(text.c_str());
			    return g_variant_new_strv(entries.data(), static_cast<gssize>(entries.size()));
		    },
		    nullptr,
		    {}};
		if (serving_ != nullptr) {
			g_dbus_connection_register_object(serving_, "/StatusNotifierWatcher", info->interfaces[0], &vtable, this, nullptr, nullptr);
			GVariant* owned = g_dbus_connection_call_sync(serving_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
			                                              g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
			                                              nullptr, nullptr);
			if (owned != nullptr) g_variant_unref(owned);
		}
		ready.set_value();
		g_main_loop_run(loop_);
		g_main_context_pop_thread_default(context_);
	});
	readied.wait();
	g_free(address);
	EXPECT_NE(serving_, nullptr);
	EXPECT_NE(calling_, nullptr);
}

StatusNotifierHost::~StatusNotifierHost() {
	if (loop_ != nullptr) {
		g_main_context_invoke(
		    context_,
		    [](gpointer data) -> gboolean {
			    g_main_loop_quit(static_cast<GMainLoop*>(data));
			    return G_SOURCE_REMOVE;
		    },
		    loop_);
	}
	if (thread_.joinable()) thread_.join();
	if (serving_ != nullptr) {
		g_dbus_connection_close_sync(serving_, nullptr, nullptr);
		g_object_unref(serving_);
	}
	if (calling_ != nullptr) g_object_unref(calling_);
	if (loop_ != nullptr) g_main_loop_unref(loop_);
	if (context_ != nullptr) g_main_context_unref(context_);
}

std::optional<StatusNotifierHost::Item> StatusNotifierHost::wait_for_item(std::chrono::milliseconds within) {
	auto deadline = std::chrono::steady_clock::now() + within;
	for (;;) {
		{
			std::lock_guard lock(mutex_);
			if (!items_.empty()) return items_.back();
		}
		if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
}

GVariant* StatusNotifierHost::call(const std::string& bus, const std::string& path, const char* interface, const char* method, GVariant* parameters) {
	GError* error = nullptr;
	GVariant* reply = g_dbus_connection_call_sync(calling_, bus.c_str(), path.c_str(), interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
	                                              nullptr, &error);
	EXPECT_NE(reply, nullptr) << method << ": " << (error != nullptr ? error->message : "");
	if (error != nullptr) g_error_free(error);
	return reply;
}

GVariant* StatusNotifierHost::property_value(const Item& item, const char* name) {
	GVariant* reply = call(item.bus_name, item.path, "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", "org.kde.StatusNotifierItem", name));
	if (reply == nullptr) return nullptr;
	GVariant* value = nullptr;
	g_variant_get(reply, "(v)", &value);
	g_variant_unref(reply);
	return value;
}

std::string StatusNotifierHost::property(const Item& item, const char* name) {
	GVariant* value = property_value(item, name);
	if (value == nullptr) return "";
	gchar* text = g_variant_print(value, FALSE);
	std::string printed = text;
	g_free(text);
	g_variant_unref(value);
	return printed;
}

void StatusNotifierHost::activate(const Item& item) {
	if (GVariant* reply = call(item.bus_name, item.path, "org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 0, 0))) g_variant_unref(reply);
}

GVariant* StatusNotifierHost::layout(const Item& item) {
	GVariant* menu = property_value(item, "Menu");
	if (menu == nullptr) return nullptr;
	std::string path = g_variant_get_string(menu, nullptr);
	g_variant_unref(menu);
	return call(item.bus_name, path, "com.canonical.dbusmenu", "GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
}

namespace {

// (id, label or "-", toggle-state) of the root's children.
struct Entry {
	int id;
	std::string label;
	int toggle;
};

std::vector<Entry> entries_of(GVariant* reply) {
	std::vector<Entry> entries;
	if (reply == nullptr) return entries;
	guint32 revision = 0;
	GVariant* root = nullptr;
	g_variant_get(reply, "(u@(ia{sv}av))", &revision, &root);
	GVariant* children = g_variant_get_child_value(root, 2);
	for (gsize i = 0; i < g_variant_n_children(children); i++) {
		GVariant* boxed = g_variant_get_child_value(children, i);
		GVariant* child = g_variant_get_variant(boxed);
		gint32 id = 0;
		GVariant* properties = nullptr;
		g_variant_get_child(child, 0, "i", &id);
		properties = g_variant_get_child_value(child, 1);
		const gchar* type = nullptr;
		const gchar* label = "";
		gint32 toggle = -1;
		bool separator = g_variant_lookup(properties, "type", "&s", &type) && std::string(type) == "separator";
		g_variant_lookup(properties, "label", "&s", &label);
		g_variant_lookup(properties, "toggle-state", "i", &toggle);
		entries.push_back({id, separator ? "-" : label, toggle});
		g_variant_unref(properties);
		g_variant_unref(child);
		g_variant_unref(boxed);
	}
	g_variant_unref(children);
	g_variant_unref(root);
	g_variant_unref(reply);
	return entries;
}

} // namespace

std::vector<std::string> StatusNotifierHost::menu_labels(const Item& item) {
	std::vector<std::string> labels;
	for (const Entry& entry : entries_of(layout(item))) labels.push_back(entry.label);
	return labels;
}

int StatusNotifierHost::toggle_state(const Item& item, const std::string& label) {
	for (const Entry& entry : entries_of(layout(item)))
		if (entry.label == label) return entry.toggle;
	return -2;
}

void StatusNotifierHost::click(const Item& item, const std::string& label) {
	for (const Entry& entry : entries_of(layout(item))) {
		if (entry.label != label) continue;
		if (GVariant* shown = call(item.bus_name, "/MenuBar", "com.canonical.dbusmenu", "AboutToShow", g_variant_new("(i)", 0))) g_variant_unref(shown);
		GVariant* reply = call(item.bus_name, "/MenuBar", "com.canonical.dbusmenu", "Event",
		                       g_variant_new("(isvu)", entry.id, "clicked", g_variant_new_int32(0), 0u));
		if (reply != nullptr) g_variant_unref(reply);
		return;
	}
	ADD_FAILURE() << "no menu item " << label;
}

} // namespace tarnwick::testing
