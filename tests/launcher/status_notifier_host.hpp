// The desktop's side of a status icon, on the test's session bus: a StatusNotifierWatcher that a
// host has registered with (as a tray would), serving on a thread of its own, and the calls a tray
// makes to an item: its properties, Activate, the menu's layout and its clicks.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::testing {

class StatusNotifierHost {
public:
	StatusNotifierHost();
	~StatusNotifierHost();
	StatusNotifierHost(const StatusNotifierHost&) = delete;
	StatusNotifierHost& operator=(const StatusNotifierHost&) = delete;

	struct Item {
		std::string bus_name;
		std::string path;
	};
	// The item registered last, once one has within the time.
	std::optional<Item> wait_for_item(std::chrono::milliseconds within);

	// Text form of an item's property, as GVariant prints it ("'Active'", "('tarnwick', [], 'Tarnwick: running', '')").
	std::string property(const Item& item, const char* name);
	GVariant* property_value(const Item& item, const char* name);
	void activate(const Item& item);
	// The labels of the menu's items in order; "-" for a separator.
	std::vector<std::string> menu_labels(const Item& item);
	// The toggle-state of the item with this label (1 on, 0 off).
	int toggle_state(const Item& item, const std::string& label);
	// Clicks the item with this label, as a tray does: AboutToShow(0), then Event "clicked".
	void click(const Item& item, const std::string& label);

private:
	GVariant* call(const std::string& bus, const std::string& path, const char* interface, const char* method, GVariant* parameters);
	GVariant* layout(const Item& item);

	GMainContext* context_ = nullptr;
	GMainLoop* loop_ = nullptr;
	std::thread thread_;
	GDBusConnection* serving_ = nullptr;
	GDBusConnection* calling_ = nullptr;
	std::mutex mutex_;
	std::vector<Item> items_;
};

} // namespace tarnwick::testing
