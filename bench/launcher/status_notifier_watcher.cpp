// A tray for the benchmarks: owns org.kde.StatusNotifierWatcher on the session bus, takes every
// item's registration and says a host is registered, until it is ended.
#include <gio/gio.h>

#include <cstdio>

namespace {

constexpr const char* watcher_xml = R"xml(<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
 </interface>
</node>)xml";

void call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, GDBusMethodInvocation* invocation, gpointer) {
	g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* get(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**, gpointer) { return g_variant_new_boolean(TRUE); }

} // namespace

int main() {
	GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
	if (bus == nullptr) {
		std::fprintf(stderr, "no session bus\n");
		return 1;
	}
	GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(watcher_xml, nullptr);
	static const GDBusInterfaceVTable vtable{call, get, nullptr, {}};
	g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", info->interfaces[0], &vtable, nullptr, nullptr, nullptr);
	g_bus_own_name_on_connection(bus, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
	                             [](GDBusConnection*, const gchar*, gpointer) {
		                             std::printf("ready\n");
		                             std::fflush(stdout);
	                             },
	                             nullptr, nullptr, nullptr);
	g_main_loop_run(g_main_loop_new(nullptr, FALSE));
}
