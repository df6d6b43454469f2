// The daemon's own output file (its standard output and error, beside the launcher's log): kept
// within a size by moving it aside before a start and, while the daemon runs, by copying it aside
// and emptying it in place; read back when the daemon ends badly, so that the user sees why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {

constexpr std::uintmax_t daemon_output_limit = 1024 * 1024;

// Moves a file past the limit aside (to "<name>.1", replacing an older one) so that a new start
// writes to a fresh one; returns the size it has now, where the coming start's output begins.
std::uintmax_t prepare_daemon_output(const std::filesystem::path& file, std::uintmax_t limit = daemon_output_limit);

// While the daemon writes (it appends, so after an emptying its next line lands at the start): a
// file past the limit is copied to "<name>.1", replacing an older one, and emptied. Lines the
// daemon writes between the copy and the emptying are lost; the file never grows past the limit
// by more than what the daemon writes between two calls. True when it was emptied.
bool keep_daemon_output_within(const std::filesystem::path& file, std::uintmax_t limit = daemon_output_limit);

// The last non-empty lines written at or after the offset, oldest first, each cut to a readable
// length; at most max_lines.
std::vector<std::string> last_output_lines(const std::filesystem::path& file, std::uintmax_t from, std::size_t max_lines = 3);

} // namespace tarnwick
