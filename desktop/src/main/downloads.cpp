#include "downloads.hpp"

#include "download_names.hpp"
#include "launcher_log.hpp"
#include "page_notice.hpp"
#include "page_policy.hpp"
#include "translations.hpp"
#include "user_folders.hpp"

#include "core/process.hpp"

#include <system_error>

namespace tarnwick {

namespace {

// The last path segment of the address, for a download the server names nothing.
std::string name_in_url(std::string_view url) {
	url = url.substr(0, url.find_first_of("?#"));
	if (url.starts_with("data:")) return {};
	std::size_t slash = url.rfind('/');
	return std::string(slash == std::string_view::npos ? std::string_view{} : url.substr(slash + 1));
}

std::filesystem::path from_utf8(const std::string& text) { return std::filesystem::path(std::u8string(text.begin(), text.end())); }

std::string utf8(const std::filesystem::path& path) { return bw::process::path_to_utf8_lossy(path); }

// The notice in the user's language (the English text with the values put in, when there is no
// translation); the log in English.
void tell(const bw::BrowserWindowHandle& window, std::string_view english, std::initializer_list<std::string_view> values) {
	launcher_log::write(fill(english, values));
	window.exec_js(notice_script(tr(english, values)));
}

constexpr std::chrono::seconds burst_gap{10};
// Past so many refusals in a burst, the log takes no more of them.
constexpr std::size_t refusals_logged = 20;

} // namespace

void Downloads::refuse(const bw::BrowserWindowHandle& window, const bw::DownloadRequest& request) {
	auto now = std::chrono::steady_clock::now();
	bool new_burst = refused_in_burst_ == 0 || now - last_refused_ >= burst_gap;
	last_refused_ = now;
	refused_in_burst_ = new_burst ? 1 : refused_in_burst_ + 1;
	if (refused_in_burst_ <= refusals_logged)
		launcher_log::write("refused the download of " + launcher_log::loggable(request.url) +
		                    (request.from_frame ? ": a frame inside the page started it" : ": the page started it without a user's action"));
	if (new_burst) window.exec_js(notice_script(tr("Tarnwick refused a download that the page started by itself")));
}

std::optional<std::filesystem::path> Downloads::destination(const bw::BrowserWindowHandle& window, const bw::DownloadRequest& request) {
	if (!download_allowed(request, daemon_origin_)) {
		refuse(window, request);
		return std::nullopt;
	}
	std::string name = safe_file_name(request.suggested_name.empty() ? name_in_url(request.url) : request.suggested_name);
	std::filesystem::path folder = user_folders::downloads();
	std::error_code error;
	std::filesystem::create_directories(folder, error);
	if (error || !std::filesystem::is_directory(folder, error)) {
		tell(window, "The download of %1 failed: the folder %2 cannot be made", {name, utf8(folder)});
		return std::nullopt;
	}
	name = unused_file_name(name, [&](const std::string& candidate) {
		std::filesystem::path path = folder / from_utf8(candidate);
		std::error_code ignored;
		return running_.contains(user_folders::same_file_key(path)) || std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
	});
	std::filesystem::path path = folder / from_utf8(name);
	running_.insert(user_folders::same_file_key(path));
	launcher_log::write("downloading " + launcher_log::loggable(request.url) + " to " + utf8(path));
	return path;
}

void Downloads::finished(const bw::BrowserWindowHandle& window, const bw::DownloadOutcome& outcome) {
	running_.erase(user_folders::same_file_key(outcome.path));
	std::string name = utf8(outcome.path.filename());
	if (outcome.succeeded)
		tell(window, "Saved %1 in %2", {name, utf8(outcome.path.parent_path())});
	else if (outcome.error.empty())
		tell(window, "The download of %1 failed: no reason given", {name});
	else
		tell(window, "The download of %1 failed: %2", {name, outcome.error});
}

} // namespace tarnwick
