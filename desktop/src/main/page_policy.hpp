// Which pages the launcher's window shows and which page may ask what of the launcher. The window
// keeps the daemon's origin and the one page of the launcher's own it shows at the moment; other
// web addresses belong in the user's browser, and anything else is refused.
#pragma once

#include "browser/page_capabilities.hpp"

#include <string>
#include <string_view>

namespace tarnwick {

enum class PageRoute {
	// Loaded in the window.
	Window,
	// Handed to the user's default browser; the window stays where it was.
	DefaultBrowser,
	Refused,
};

// daemon_origin is "http://host:port"; own_page the data: URL of the launcher's page shown now,
// empty when the daemon's page is shown.
PageRoute route(const bw::NavigationRequest& request, std::string_view daemon_origin, std::string_view own_page);

// Whether two addresses are the same page: data: URLs compare by their decoded text, since an
// engine may write the same document with other escapes.
bool same_page(std::string_view a, std::string_view b);

// Whether the window takes the download: one the user started, or one of the daemon's origin (a
// blob: made by its documents included) that no frame inside the page led to. A data: address has
// no origin: the user must start it. Where the engine tells neither (WebView2), the origin decides.
bool download_allowed(const bw::DownloadRequest& request, std::string_view daemon_origin);

enum class Sender {
	// The launcher's page shown now: may ask for anything.
	OwnPage,
	// A page of the daemon's origin: may end the launcher, not retry or reload.
	DaemonPage,
	Stranger,
};

Sender sender_of(std::string_view source, std::string_view origin, std::string_view daemon_origin, std::string_view own_page);

} // namespace tarnwick
