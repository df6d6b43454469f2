// What the launcher does with the page's downloads: only the user or the daemon's own page may start
// one; each goes into the user's Downloads folder under a name of its own, and the user is told in
// the window when it is saved or failed, and once for a burst of refused ones.
#pragma once

#include "browser/browser_window.hpp"
#include "browser/page_capabilities.hpp"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tarnwick {

class Downloads {
public:
	explicit Downloads(std::string daemon_origin) : daemon_origin_(std::move(daemon_origin)) {}

	// GUI thread, as the engine asks.
	std::optional<std::filesystem::path> destination(const bw::BrowserWindowHandle& window, const bw::DownloadRequest& request);
	void finished(const bw::BrowserWindowHandle& window, const bw::DownloadOutcome& outcome);

private:
	void refuse(const bw::BrowserWindowHandle& window, const bw::DownloadRequest& request);

	std::string daemon_origin_;
	// Refused downloads less than a burst's gap apart are one burst, which gets one notice.
	std::chrono::steady_clock::time_point last_refused_{};
	std::size_t refused_in_burst_ = 0;
	// Handed out and not yet ended: the engine creates the file only as it writes, and two
	// downloads of one name must not be given the same path meanwhile. Kept as the file system
	// compares names (user_folders::same_file_key).
	std::set<std::filesystem::path> running_;
};

} // namespace tarnwick
