// Fatal stops of the upper layer: a broken invariant ends the process with exit code 101.
#pragma once

#include <string_view>

namespace bw {

// Writes the text and a line feed to the standard error stream and ends the process with 101.
[[noreturn]] void fatal_stop(std::string_view text);

} // namespace bw
