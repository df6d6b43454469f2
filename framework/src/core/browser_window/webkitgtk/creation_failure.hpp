// Failures that keep a browser window from being created. The builder's callback carries no error,
// so, as with the other engine, they end the process: the text goes to an error box for the user,
// then to the standard error stream, and the process ends with exit code 101.
//
// Setting the environment variable BW_NO_ERROR_BOX to 1 skips the box (for tests, where nobody
// would answer it).
#pragma once

#include <string>

namespace bw::webkitgtk {

[[noreturn]] void creation_failure(const std::string& text);

} // namespace bw::webkitgtk
