// A service of the test's own on the session bus (support/session_bus.hpp): one object under a
// well-known name, its method calls answered on a thread of its own, its signals emitted from any
// thread. The stand-ins for desktop services (notifications, the settings portal) build on it.
#pragma once

#include <gio/gio.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace tarnwick::testing {

class BusService {
public:
	// Answers a call: the method's name, its parameters; returns the reply (null for none).
	using Answer = std::function<GVariant*(const std::string& method, GVariant* parameters)>;

	BusService(std::string name, std::string path, std::string interface_xml, Answer answer)
	    : name_(std::move(name)), path_(std::move(path)), xml_(std::move(interface_xml)), answer_(std::move(answer)) {
		std::promise<void> ready;
		std::future<void> started = ready.get_future();
		thread_ = std::thread([this, &ready] { serve(ready); });
		started.wait();
	}
	~BusService() {
		g_main_loop_quit(loop_);
		thread_.join();
	}
	BusService(const BusService&) = delete;
	BusService& operator=(const BusService&) = delete;

	void emit(const char* interface, const char* signal, GVariant* parameters) {
		g_dbus_connection_emit_signal(bus_, nullptr, path_.c_str(), interface, signal, parameters, nullptr);
		g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
	}

private:
	static void on_call(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
	                    GDBusMethodInvocation* invocation, gpointer data) {
		g_dbus_method_invocation_return_value(invocation, static_cast<BusService*>(data)->answer_(method, parameters));
	}

	void serve(std::promise<void>& ready) {
		GMainContext* context = g_main_context_new();
		g_main_context_push_thread_default(context);
		loop_ = g_main_loop_new(context, FALSE);
		bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
		GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml_.c_str(), nullptr);
		static const GDBusInterfaceVTable vtable{on_call, nullptr, nullptr, {}};
		g_dbus_connection_register_object(bus_, path_.c_str(), node->interfaces[0], &vtable, this, nullptr, nullptr);
		g_dbus_node_info_unref(node);
		// 4: do not queue behind an owner.
		GVariant* owned = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
		                                              g_variant_new("(su)", name_.c_str(), 4u), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
		if (owned != nullptr) g_variant_unref(owned);
		ready.set_value();
		g_main_loop_run(loop_);
		g_object_unref(bus_);
		g_main_loop_unref(loop_);
		g_main_context_pop_thread_default(context);
		g_main_context_unref(context);
	}

	std::string name_, path_, xml_;
	Answer answer_;
	std::thread thread_;
	GMainLoop* loop_ = nullptr;
	GDBusConnection* bus_ = nullptr;
};

// The settings portal's appearance: Read and ReadOne of org.freedesktop.appearance color-scheme
// (1 dark, 2 light), and SettingChanged when the test flips it.
class SettingsPortal {
public:
	explicit SettingsPortal(uint32_t scheme) : scheme_(scheme) {}

	void set(uint32_t scheme) {
		scheme_ = scheme;
		service_.emit("org.freedesktop.portal.Settings", "SettingChanged",
		              g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme", g_variant_new_uint32(scheme)));
	}
	// How many times the setting was read.
	int reads() const { return reads_; }

private:
	static constexpr const char* xml = R"xml(<node><interface name="org.freedesktop.portal.Settings">
<method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
<method name="ReadOne"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
<signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
</interface></node>)xml";

	std::atomic<uint32_t> scheme_;
	std::atomic<int> reads_{0};
	BusService service_{"org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", xml, [this](const std::string& method, GVariant*) {
		                    reads_++;
		                    GVariant* value = g_variant_new_uint32(scheme_);
		                    // Read answers the value wrapped once more, as portals before ReadOne did.
		                    return method == "Read" ? g_variant_new("(v)", g_variant_new_variant(value)) : g_variant_new("(v)", value);
	                    }};
};

} // namespace tarnwick::testing
