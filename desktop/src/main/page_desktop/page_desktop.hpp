// What the daemon's pages may do on the desktop: the permission rules and the desktop's
// notifications, put on the window's builder.
#pragma once

#include "page_desktop/desktop_notifier.hpp"
#include "page_desktop/permission_rules.hpp"

#include "browser/builder/browser_window_builder.hpp"

#include <memory>
#include <string>

namespace tarnwick {

class PageDesktop {
public:
	PageDesktop(bw::ApplicationHandle app, std::string daemon_origin) : app_(app), daemon_origin_(std::move(daemon_origin)) {}

	// Before the window is built; this object outlives the window.
	void equip(bw::BrowserWindowBuilder& builder);
	// The launcher's own news, as a notification whose click brings the window back, while the
	// window is hidden or iconified (otherwise its page says it). GUI thread.
	void tell_while_out_of_sight(const bw::WindowHandle& window, const std::string& news);
	// Where the tray's icon is, for the desktops that notify through it.
	void use_tray_icon(DesktopNotifier::TrayIcon tray_icon) { tray_icon_ = std::move(tray_icon); }

private:
	DesktopNotifier& notifier();

	bw::ApplicationHandle app_;
	std::string daemon_origin_;
	DesktopNotifier::TrayIcon tray_icon_;
	PermissionRules rules_;
	// Made when a page first asks for notifications.
	std::unique_ptr<DesktopNotifier> notifier_;
};

} // namespace tarnwick
