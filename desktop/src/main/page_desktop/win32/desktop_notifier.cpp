// The desktop's notifications on Windows: a balloon (which Windows 10 and 11 show as a toast) of the
// tray's status icon, or, while no tray icon is shown, of an icon of the launcher's own that exists
// only while its balloon does. One at a time: a newer notification takes the balloon, and the one it
// replaces is reported closed. The balloon's click brings the window back.
#include "page_desktop/desktop_notifier.hpp"

#include "launcher_log.hpp"

#include <bw/window_win32.h>
#include <windows.h>

#include <optional>
#include <string>

namespace tarnwick {

namespace {

class BalloonNotifier final : public DesktopNotifier {
public:
	BalloonNotifier(bw::ApplicationHandle app, BringBack bring_back, TrayIcon tray_icon)
	    : app_(app), bring_back_(std::move(bring_back)), tray_icon_(std::move(tray_icon)) {}

	// The shell says only whether a balloon was taken, when one is shown.
	bool available(std::string&) override { return true; }

	void show(const bw::WindowHandle& window, std::shared_ptr<bw::PageNotification> notification) override {
		// The balloon shown so far goes.
		if (current_) end(false);
		const bw::NotificationContent& content = notification->content();
		bw::StatusIconBalloon balloon{content.title, content.body, content.silent, [this] { end(true); }, [this] { end(false); }};
		// A shell that lost the tray's icon (it restarted and has not said so yet) refuses it.
		bw::StatusIcon* icon = tray_icon_();
		bool shown = icon != nullptr && icon->show_balloon(balloon);
		if (!shown) {
			icon = own_icon();
			shown = icon->show_balloon(std::move(balloon));
		}
		if (!shown) {
			launcher_log::write("the shell did not show a notification (no notification area)");
			own_icon_.reset();
			return;
		}
		current_ = Current{window, notification, icon};
		notification->on_page_closed([this, mine = std::weak_ptr<bw::PageNotification>(notification)] {
			if (!current_ || current_->page != mine.lock()) return;
			current_->icon->hide_balloon();
			current_.reset();
			own_icon_.reset();
		});
		notification->shown();
	}

private:
	struct Current {
		bw::WindowHandle window;
		std::shared_ptr<bw::PageNotification> page;
		bw::StatusIcon* icon;
	};

	bw::StatusIcon* own_icon() {
		bw::StatusIconOptions options;
		options.id = "tarnwick-notification";
		options.title = "Tarnwick notification";
		options.tooltip = "Tarnwick";
		own_icon_ = bw::StatusIcon::create(app_, std::move(options));
		return own_icon_.get();
	}

	// The balloon went, clicked or not; an icon of the launcher's own goes with it.
	void end(bool clicked) {
		Current ending = std::move(*current_);
		current_.reset();
		ending.icon->hide_balloon();
		own_icon_.reset();
		if (clicked && !ending.page->page_closed()) {
			bring_back_(ending.window, {});
			ending.page->clicked();
		}
		ending.page->closed();
	}

	bw::ApplicationHandle app_;
	BringBack bring_back_;
	TrayIcon tray_icon_;
	std::unique_ptr<bw::StatusIcon> own_icon_;
	std::optional<Current> current_;
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::create(bw::ApplicationHandle app, BringBack bring_back, TrayIcon tray_icon) {
	return std::make_unique<BalloonNotifier>(app, std::move(bring_back), std::move(tray_icon));
}

bool out_of_sight(const bw::WindowHandle& window) {
	HWND native = bw_WindowWin32_getHandle(window.impl().inner());
	return !IsWindowVisible(native) || IsIconic(native);
}

void bring_back_window(const bw::WindowHandle& window, const std::string&) {
	HWND native = bw_WindowWin32_getHandle(window.impl().inner());
	window.show();
	if (IsIconic(native)) ShowWindow(native, SW_RESTORE);
	SetForegroundWindow(native);
}

} // namespace tarnwick
