// A notification service (org.freedesktop.Notifications) on the test's session bus, as desktops
// run it: it records what it is asked, and the test clicks and closes notifications through its
// signals.
#pragma once

#include "support/bus_service.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::testing {

class NotificationServer {
public:
	struct Notification {
		uint32_t id = 0;
		std::string app_name;
		uint32_t replaces_id = 0;
		std::string icon;
		std::string summary;
		std::string body;
		std::vector<std::string> actions;
		std::string desktop_entry;
		// When the call arrived.
		std::chrono::system_clock::time_point at;
	};

	std::vector<Notification> notified() {
		std::lock_guard lock(mutex_);
		return notified_;
	}
	std::vector<uint32_t> closed() {
		std::lock_guard lock(mutex_);
		return closed_;
	}
	// A click on the notification's body, with the activation token desktops send first.
	void click(uint32_t id, const std::string& token) {
		emit("ActivationToken", g_variant_new("(us)", id, token.c_str()));
		emit("ActionInvoked", g_variant_new("(us)", id, "default"));
	}
	// 2: dismissed by the user.
	void close(uint32_t id, uint32_t reason = 2) { emit("NotificationClosed", g_variant_new("(uu)", id, reason)); }
	~NotificationServer() { release_capabilities(); }

	// A hung desktop: GetCapabilities is answered only once released.
	void hold_capabilities() {
		std::lock_guard lock(mutex_);
		held_ = true;
	}
	void release_capabilities() {
		{
			std::lock_guard lock(mutex_);
			held_ = false;
		}
		released_.notify_all();
	}
	// A busy desktop: each Notify is answered only after this long.
	void delay_replies(std::chrono::milliseconds by) { reply_delay_ = by; }

private:
	static constexpr const char* xml = R"xml(<node><interface name="org.freedesktop.Notifications">
<method name="GetCapabilities"><arg direction="out" type="as"/></method>
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="s" direction="in"/><arg type="as" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/></method>
<method name="CloseNotification"><arg type="u" direction="in"/></method>
</interface></node>)xml";

	void emit(const char* name, GVariant* parameters) { service_.emit("org.freedesktop.Notifications", name, parameters); }

	GVariant* answer(const std::string& method, GVariant* parameters) {
		if (method == "GetCapabilities") {
			std::unique_lock lock(mutex_);
			released_.wait(lock, [this] { return !held_; });
			const gchar* capabilities[] = {"actions", "body", "body-markup", nullptr};
			return g_variant_new("(^as)", capabilities);
		}
		if (method == "CloseNotification") {
			uint32_t id = 0;
			g_variant_get(parameters, "(u)", &id);
			{
				std::lock_guard lock(mutex_);
				closed_.push_back(id);
			}
			// 3: closed by CloseNotification.
			close(id, 3);
			return nullptr;
		}
		Notification notification;
		notification.at = std::chrono::system_clock::now();
		const gchar *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
		GVariantIter* actions = nullptr;
		GVariant* hints = nullptr;
		gint32 timeout = 0;
		g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &app, &notification.replaces_id, &icon, &summary, &body, &actions, &hints, &timeout);
		notification.app_name = app;
		notification.icon = icon;
		notification.summary = summary;
		notification.body = body;
		const gchar* action = nullptr;
		while (g_variant_iter_loop(actions, "&s", &action)) notification.actions.push_back(action);
		g_variant_iter_free(actions);
		const gchar* entry = nullptr;
		if (g_variant_lookup(hints, "desktop-entry", "&s", &entry)) notification.desktop_entry = entry;
		g_variant_unref(hints);
		std::this_thread::sleep_for(reply_delay_.load());
		std::lock_guard lock(mutex_);
		notification.id = notification.replaces_id != 0 ? notification.replaces_id : ++last_id_;
		notified_.push_back(notification);
		return g_variant_new("(u)", notification.id);
	}

	std::mutex mutex_;
	std::condition_variable released_;
	bool held_ = false;
	std::vector<Notification> notified_;
	std::vector<uint32_t> closed_;
	uint32_t last_id_ = 0;
	std::atomic<std::chrono::milliseconds> reply_delay_{std::chrono::milliseconds(0)};
	// Last: it answers on its thread from the moment it exists, until it is gone.
	BusService service_{"org.freedesktop.Notifications", "/org/freedesktop/Notifications", xml,
	                    [this](const std::string& method, GVariant* parameters) { return answer(method, parameters); }};
};

} // namespace tarnwick::testing
