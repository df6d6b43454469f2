// A page's notifications (new Notification(...)) handed to the program, which shows them its own
// way and reports back what became of them: shown, clicked, closed. The page hears of each report
// through the notification's events (onshow, onclick, onclose); the program hears when the page
// closes one itself. Only a page whose origin the permission policy allows notifications gets here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace bw {

class BrowserWindowHandle;

struct NotificationContent {
	// The page's origin, "scheme://host[:port]".
	std::string origin;
	std::string title;
	std::string body;
	// A notification with the tag of an earlier one replaces it; empty for none.
	std::string tag;
	bool silent = false;
};

// One notification of a page. GUI thread only. Reports made after the page closed it, or after the
// window went, reach nothing.
class PageNotification {
public:
	// What the engine does with each report.
	struct Engine {
		std::function<void()> shown;
		std::function<void()> clicked;
		std::function<void()> closed;
	};

	PageNotification(NotificationContent content, Engine engine) : content_(std::move(content)), engine_(std::move(engine)) {}
	PageNotification(const PageNotification&) = delete;
	PageNotification& operator=(const PageNotification&) = delete;

	const NotificationContent& content() const { return content_; }

	// Shown on the desktop: the page's onshow runs.
	void shown();
	// The user clicked it: the page's onclick runs. Report shown first.
	void clicked();
	// It went from the desktop (dismissed, expired): the page's onclose runs.
	void closed();
	// Called once when the page closes it (close(), or a newer notification of its tag, or the page
	// went away), after which it need not be reported on.
	void on_page_closed(std::function<void()> closed) { on_page_closed_ = std::move(closed); }
	bool page_closed() const { return ended_; }

	// For the engine binding: the page closed it.
	void _page_closed();
	// For the engine binding: the window goes; nothing reaches the engine any more.
	void _detach();

private:
	NotificationContent content_;
	Engine engine_;
	std::function<void()> on_page_closed_;
	bool shown_ = false;
	bool ended_ = false;
};

// Called on the GUI thread for each notification of a page the permission policy let show
// notifications; the program keeps the shared pointer for as long as it shows the notification.
using NotificationHandler = std::function<void(BrowserWindowHandle, std::shared_ptr<PageNotification>)>;

} // namespace bw
