// Fatal stops of the upper layer: a broken invariant ends the process with exit code 101.
#pragma once

#include <string_view>

namespace bw {

// Writes the text and a line feed to the standard error stream and ends the process with 101.
[[noreturn]] void fatal_stop(std::string_view text);

// Called with the text of a fatal stop before the process ends, on the thread that stops, for
// programs without a console to show it (a message box). One observer; null removes it. A fatal
// stop inside the observer ends the process at once.
void set_fatal_stop_observer(void (*observer)(std::string_view text));

} // namespace bw
