// The desktop's notifications for the daemon's pages: on Linux the notification service of the
// session bus (org.freedesktop.Notifications), on Windows a balloon of a notify icon. A click on
// one brings the window back (shown, de-iconified, raised), then the page hears of the click.
#pragma once

#include "application/application.hpp"
#include "browser/notifications.hpp"
#include "status_icon/status_icon.hpp"
#include "window/window_handle.hpp"

#include <functional>
#include <memory>
#include <string>

namespace tarnwick {

class DesktopNotifier {
public:
	// Shows, de-iconifies and raises the window; with the activation token the notification service
	// sent with the click, where it sent one. GUI thread.
	using BringBack = std::function<void(const bw::WindowHandle& window, const std::string& activation_token)>;

	// The program's status icon while a tray shows it, else null.
	using TrayIcon = std::function<bw::StatusIcon*()>;

	// Windows shows a notification as a balloon of the tray's icon, or of an icon of its own while no
	// tray icon is shown; Linux asks the session's notification service.
	static std::unique_ptr<DesktopNotifier> create(bw::ApplicationHandle app, BringBack bring_back, TrayIcon tray_icon);
	virtual ~DesktopNotifier() = default;

	// Whether the desktop shows notifications now; when not, why. GUI thread.
	virtual bool available(std::string& why) = 0;
	// Shows the page's notification; window is the window it came from. GUI thread.
	virtual void show(const bw::WindowHandle& window, std::shared_ptr<bw::PageNotification> notification) = 0;
};

// Whether the window is hidden or iconified (platform part).
bool out_of_sight(const bw::WindowHandle& window);
// Brings the window back as a click on a notification does (platform part).
void bring_back_window(const bw::WindowHandle& window, const std::string& activation_token);

} // namespace tarnwick
