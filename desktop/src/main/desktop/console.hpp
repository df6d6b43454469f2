// What the command line prints: to standard output or error where there is a console (on Windows,
// a GUI program, the console it was started from), otherwise into a message box.
#pragma once

#include <string_view>

namespace tarnwick::console {

void out(std::string_view text);
void error(std::string_view text);

} // namespace tarnwick::console
