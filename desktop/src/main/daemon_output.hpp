// The daemon's own output file (its standard output and error, beside the launcher's log): kept
// within a size by moving it aside before a start, and read back when the daemon ends badly, so
// that the user sees why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {

// Moves a file past the limit aside (to "<name>.1", replacing an older one) so that a new start
// writes to a fresh one; returns the size it has now, where the coming start's output begins.
std::uintmax_t prepare_daemon_output(const std::filesystem::path& file, std::uintmax_t limit = 1024 * 1024);

// The last non-empty lines written at or after the offset, oldest first, each cut to a readable
// length; at most max_lines.
std::vector<std::string> last_output_lines(const std::filesystem::path& file, std::uintmax_t from, std::size_t max_lines = 3);

} // namespace tarnwick
