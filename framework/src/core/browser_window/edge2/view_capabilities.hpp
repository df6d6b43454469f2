// The builder's opt-in page capabilities on the engine's objects. Each is installed while the view
// is set up, before the first navigation, and only when the program asked for it. Their handlers
// stay with the view until it closes and do nothing once the window is freed; a program callback
// may close or free the window, so they look at the token again after calling one.
#pragma once

#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/liveness.hpp"
#include "core/browser_window/edge2/webview2_abi.hpp"

#include <memory>
#include <optional>
#include <string>

namespace bw::edge2 {

// The view being set up.
struct ViewParts {
	ICoreWebView2Controller* controller;
	ICoreWebView2* webview;
	ICoreWebView2Settings* settings;
	bw_BrowserWindow* record;
	std::shared_ptr<Liveness> liveness;

	const PageCapabilities& capabilities() const { return *liveness->capabilities; }
};

// navigation_policy.cpp: NavigationStarting and NewWindowRequested.
void install_navigation_policy(const ViewParts& view);
// downloads.cpp: DownloadStarting, and each accepted download's StateChanged.
void install_downloads(const ViewParts& view);
// load_events.cpp: NavigationStarting and NavigationCompleted, told to the program.
void install_load_events(const ViewParts& view);
// process_failure.cpp: ProcessFailed.
void install_process_failure(const ViewParts& view);
// zoom.cpp: the first zoom factor and ZoomFactorChanged.
void install_zoom(const ViewParts& view);
// notifications.cpp: ICoreWebView2_24's NotificationReceived; before the permissions.
void install_notifications(const ViewParts& view);
// desktop_theme.cpp: the background follows the desktop's preference (WM_SETTINGCHANGE).
void install_desktop_theme(const ViewParts& view);
// permissions.cpp: PermissionRequested.
void install_permissions(const ViewParts& view);
// error_pages.cpp: the engine's error page.
void install_error_pages(const ViewParts& view);

// background.cpp. The colour under the page through the engine's environment variable, which it
// reads before the view exists; what the variable held before is put back once the controller is
// made, so that it does not reach the next window's environment.
struct BackgroundPreset {
	bool set = false;
	std::optional<std::wstring> previous;
};
BackgroundPreset preset_background(const PageCapabilities& capabilities);
void restore_background(const BackgroundPreset& preset);
// The same colour on the controller itself, as soon as it exists.
void install_background(const ViewParts& view);

// first_navigation.cpp. The window is handed to the program once, when its first navigation ended:
// completed, successfully or not, or stopped because it ran longer than the program allows.
// Registers the completion handler.
void watch_first_navigation(const ViewParts& view);
// Starts the limit, when the program set one, as the first navigation starts.
void start_first_navigation_limit(const ViewParts& view);
// The window is being freed: its limit no longer runs.
void stop_first_navigation_limit(bw_BrowserWindow* record);

} // namespace bw::edge2
