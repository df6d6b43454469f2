// What the launcher does with the page's downloads: each goes into the user's Downloads folder
// under a name of its own, and the user is told in the window when it is saved or failed.
#pragma once

#include "browser/browser_window.hpp"
#include "browser/page_capabilities.hpp"

#include <filesystem>
#include <optional>
#include <set>

namespace tarnwick {

class Downloads {
public:
	// GUI thread, as the engine asks.
	std::optional<std::filesystem::path> destination(const bw::BrowserWindowHandle& window, const bw::DownloadRequest& request);
	void finished(const bw::BrowserWindowHandle& window, const bw::DownloadOutcome& outcome);

private:
	// Handed out and not yet ended: the engine creates the file only as it writes, and two
	// downloads of one name must not be given the same path meanwhile. Kept as the file system
	// compares names (user_folders::same_file_key).
	std::set<std::filesystem::path> running_;
};

} // namespace tarnwick
