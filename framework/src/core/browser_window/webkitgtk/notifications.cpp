// The program's notification handler over the view's show-notification signal: handled (TRUE), so
// the engine shows nothing of its own. Reports go to webkit_notification_clicked and _close; the
// notification's closed signal (the page's close(), a newer one of its tag, the page gone) reaches
// the program. WebKitGTK tells nothing of silent.
#include "core/browser_window/message_delivery.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

namespace bw::webkitgtk {

namespace {

// The engine's notification, referenced for as long as a report may reach it.
struct EngineNotification {
	explicit EngineNotification(WebKitNotification* notification) : notification(WEBKIT_NOTIFICATION(g_object_ref(notification))) {}
	EngineNotification(const EngineNotification&) = delete;
	EngineNotification& operator=(const EngineNotification&) = delete;
	~EngineNotification() {
		g_signal_handlers_disconnect_by_data(notification, this);
		g_object_unref(notification);
	}
	WebKitNotification* notification;
	std::weak_ptr<PageNotification> page;
};

void on_closed(WebKitNotification*, gpointer data) {
	if (auto page = static_cast<EngineNotification*>(data)->page.lock()) page->_page_closed();
}

std::string text(const char* value) { return value != nullptr ? value : ""; }

gboolean on_show_notification(WebKitWebView* view, WebKitNotification* notification, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	const char* uri = webkit_web_view_get_uri(view);
	NotificationContent content{origin_of(uri != nullptr ? uri : ""), text(webkit_notification_get_title(notification)),
	                            text(webkit_notification_get_body(notification)), text(webkit_notification_get_tag(notification)), false};
	auto engine = std::make_shared<EngineNotification>(notification);
	// The engine fires the page's show event itself once the signal is handled.
	PageNotification::Engine reports{{},
	                                 [engine] { webkit_notification_clicked(engine->notification); },
	                                 [engine] { webkit_notification_close(engine->notification); }};
	auto page = std::make_shared<PageNotification>(std::move(content), std::move(reports));
	engine->page = page;
	g_signal_connect(notification, "closed", G_CALLBACK(on_closed), engine.get());
	std::erase_if(state->notifications, [](const std::weak_ptr<PageNotification>& kept) { return kept.expired(); });
	state->notifications.push_back(page);
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.notifications(handle, page); });
	return TRUE;
}

} // namespace

void connect_notifications(EngineState* state) {
	if (!state->capabilities->notifications) return;
	g_signal_connect(state->view, "show-notification", G_CALLBACK(on_show_notification), state);
}

void release_notifications(EngineState* state) {
	for (const std::weak_ptr<PageNotification>& kept : state->notifications)
		if (auto page = kept.lock()) page->_detach();
	state->notifications.clear();
}

} // namespace bw::webkitgtk
