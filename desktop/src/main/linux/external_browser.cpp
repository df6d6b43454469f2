#include "external_browser.hpp"

#include <gio/gio.h>

namespace tarnwick {

// The desktop's default handler for x-scheme-handler/http(s), as mimeapps.list names it.
std::optional<std::string> open_in_default_browser(const std::string& url) {
	GError* error = nullptr;
	if (g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) return std::nullopt;
	std::string reason = error != nullptr ? error->message : "no handler";
	g_clear_error(&error);
	return reason;
}

} // namespace tarnwick
