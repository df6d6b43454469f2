// What a program may decide about the pages of a browser window beyond the engine's defaults: which
// navigations and new windows happen, where downloads go, what happens when the page's process
// ends, the browser keys, the zoom and the colour under the page. All of it is opt-in on the
// builder: a window built without any of it behaves as the engine does by default.
#pragma once

#include "browser/first_navigation_gate.hpp"
#include "browser/notifications.hpp"
#include "browser/permissions.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bw {

class BrowserWindowHandle;

// A top-level navigation about to start, or a new window the page asked for.
struct NavigationRequest {
	std::string url;
	// A link with a target, or window.open. The framework never opens a window of the engine's own
	// for it: allowing it loads the address in this window instead.
	bool new_window = false;
	// Whether a user's action (a click, a key) led to it, as far as the engine tells.
	bool user_initiated = false;
};

enum class NavigationDecision { Allow, Deny };

// Asked on the GUI thread for every navigation of the top-level document (also those the program
// starts itself, and redirects) and for every new-window request; a frame's navigations inside the
// page are not asked about.
using NavigationPolicy = std::function<NavigationDecision(BrowserWindowHandle, const NavigationRequest&)>;

// With a navigation policy: the origins ("http://host:port", as origin_of gives them) whose
// documents the top frame may show. A top-level navigation to an http(s) document of any other
// origin, also one a redirect leads to, never sends its request from the view: the policy is asked
// about it (so that the program may send it elsewhere), and its answer cannot let it load here.
// WebKitGTK would otherwise decide a top-level navigation only at its response, once the request
// (a form's body, the site's cookies) has reached the other server.
using HomeOrigins = std::vector<std::string>;

// A download the page started.
struct DownloadRequest {
	std::string url;
	// The file name the server or the link suggests; may be empty.
	std::string suggested_name;
	std::string mime_type;
	// Whether a user's action (a click, a key) started it, as far as the engine tells: WebKitGTK
	// tells it for a link or a navigation; WebView2 tells nothing, so there it is always false.
	bool user_initiated = false;
	// It answers a navigation of a frame inside the page rather than of the page itself (WebKitGTK;
	// WebView2 tells nothing of the frame, so there it is always false).
	bool from_frame = false;
};

// Where the download goes: an absolute path of a file that does not exist, or nothing to cancel it.
using DownloadDestination = std::function<std::optional<std::filesystem::path>(BrowserWindowHandle, const DownloadRequest&)>;

// A download that ended, saved or not; reported once per download the destination accepted.
struct DownloadOutcome {
	std::string url;
	std::filesystem::path path;
	bool succeeded = false;
	// Why it failed, readable by a user; empty on success.
	std::string error;
};

using DownloadFinished = std::function<void(BrowserWindowHandle, const DownloadOutcome&)>;

// An engine process of the window ended or stopped answering.
struct ProcessFailure {
	enum class Kind {
		// The page's own process ended; reload() brings the page back.
		PageEnded,
		// The page's process does not answer (it may later).
		PageUnresponsive,
		// The engine itself ended: the view shows nothing more and cannot be reloaded.
		EngineEnded,
	};
	Kind kind = Kind::PageEnded;
	// Readable by a user: why, as far as the engine tells.
	std::string reason;
};

using ProcessFailedHandler = std::function<void(BrowserWindowHandle, const ProcessFailure&)>;

// A navigation of the top-level document started, or ended (loaded or not).
struct LoadEvent {
	enum class Kind { Started, Finished };
	Kind kind = Kind::Started;
	std::string url;
	// For Finished: whether the page loaded.
	bool succeeded = false;
};

using LoadObserver = std::function<void(BrowserWindowHandle, const LoadEvent&)>;

// Called with the new zoom factor when the user changed it (keys, wheel).
using ZoomChanged = std::function<void(BrowserWindowHandle, double)>;

struct BackgroundColor {
	uint8_t red = 255;
	uint8_t green = 255;
	uint8_t blue = 255;
	friend bool operator==(const BackgroundColor&, const BackgroundColor&) = default;
};

// Whether the desktop asks programs for dark colours. Any thread.
bool desktop_prefers_dark();
// A plain background that follows that preference.
BackgroundColor desktop_background();

// The find bar's texts (WebKitGTK's find bar is the framework's), for a program that speaks the
// user's language. In match_of, %1 is the current match and %2 the number of matches.
struct FindBarTexts {
	std::string find = "Find in page";
	std::string matches = "Matches";
	std::string match_of = "%1 of %2";
	std::string previous = "Previous match";
	std::string next = "Next match";
	std::string close = "Close the find bar";
	std::string bar = "Find bar";
};

// The builder's opt-in capabilities of one window, all empty or off by default.
struct PageCapabilities {
	NavigationPolicy navigation_policy;
	HomeOrigins home_origins;
	DownloadDestination download_destination;
	DownloadFinished download_finished;
	ProcessFailedHandler process_failed;
	LoadObserver loads;
	ZoomChanged zoom_changed;
	// F5 and Ctrl+R reload; Ctrl+Plus, Ctrl+Minus, Ctrl+0 and Ctrl+wheel zoom.
	bool browser_keys = false;
	// The zoom factor the window starts with.
	double zoom = 1.0;
	// Painted under the page before its first paint and between pages.
	std::optional<BackgroundColor> background;
	// When false, a failed navigation leaves the view as it was instead of showing the engine's own
	// error page, where the engine allows.
	bool engine_error_pages = true;
	// The first navigation (to the builder's source) is ended as failed when it has not completed by
	// then, so that a server that accepts but never answers cannot keep the window from being built.
	std::optional<std::chrono::milliseconds> first_navigation_within;
	// When set, the first navigation starts only once the program opens it.
	std::shared_ptr<FirstNavigationGate> first_navigation_gate;
	// The pages' prefers-color-scheme, and the background when one is given, follow the desktop's
	// light or dark preference as it changes (desktop_background()).
	bool follow_desktop_theme = false;
	// Ctrl+F finds in the page and Ctrl+P prints it: on WebKitGTK through a find bar of the
	// framework's and the print dialog; WebView2 has both of its own.
	bool find_and_print = false;
	FindBarTexts find_bar_texts;
	// Pages are asked for in the user's languages (user_languages.hpp), and text fields are spell
	// checked in them where the engine has dictionaries.
	bool user_languages = false;
	// Without a policy the engine's own handling stays (permissions.hpp).
	PermissionPolicy permission_policy;
	// Without a handler the engine's own handling stays (notifications.hpp).
	NotificationHandler notifications;
};

} // namespace bw
