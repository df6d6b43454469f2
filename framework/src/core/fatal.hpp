// Fatal stops of the upper layer: a broken invariant ends the process with exit code 101.
#pragma once

#include <string_view>

namespace bw {

// Writes the text and a line feed to the standard error stream and ends the process with 101.
[[noreturn]] void fatal_stop(std::string_view text);
// The same with a second text for people: the standard error stream gets text, the observer shown.
[[noreturn]] void fatal_stop(std::string_view text, std::string_view shown);

// Called with the text of a fatal stop before the process ends, on the thread that stops, for
// programs without a console to show it (a message box). One observer; null removes it. A fatal
// stop inside the observer ends the process at once.
void set_fatal_stop_observer(void (*observer)(std::string_view text));
// Whether an observer is set: then the program itself shows what stops it, and nobody else should.
bool fatal_stop_observed();

} // namespace bw
