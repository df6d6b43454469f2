// Opening an address in the user's default browser.
#pragma once

#include <optional>
#include <string>

namespace tarnwick {

// Hands the http(s) address to the system's handler for it; why it failed, or nothing.
std::optional<std::string> open_in_default_browser(const std::string& url);

} // namespace tarnwick
