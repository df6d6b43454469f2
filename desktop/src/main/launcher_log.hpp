// The launcher's diagnostics: what it did and why, one line each, for a user to send. A small file
// in the per-user state folder that rotates (launcher.log, then launcher.log.1) so it never grows
// past twice its limit. Any thread. Lines also go to standard error.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::launcher_log {

// Opens (creating the folder) the log in the folder; when that fails, lines go to standard error only.
void open(const std::filesystem::path& folder);
// The log file's path, or empty when none is open.
std::filesystem::path path();
void write(std::string_view line);

// An address as one line of the log: without its query and fragment (which may carry a token),
// long data: URLs cut, control characters shown as '?'.
std::string loggable(std::string_view url);

} // namespace tarnwick::launcher_log
