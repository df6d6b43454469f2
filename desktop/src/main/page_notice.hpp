// A short notice the launcher lays over whatever page the window shows (a download saved or
// failed), without disturbing that page.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// How long a notice stays.
constexpr int notice_seconds = 8;

// A script that adds the text as a small box in the window's bottom-right corner, which removes
// itself after notice_seconds. Notices that come together stack.
std::string notice_script(std::string_view text);

} // namespace tarnwick
