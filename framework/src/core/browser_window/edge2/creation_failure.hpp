// Failures that keep a browser window from being created. Nothing can report them to the builder
// (its callback carries no error), so they end the process: the text goes to an error box for the
// user, then to the standard error stream, and the process ends with exit code 101.
//
// Setting the environment variable BW_NO_ERROR_BOX to 1 skips the box (for tests, where nobody
// would answer it).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace bw::edge2 {

[[noreturn]] void creation_failure(const std::string& text);

// "<step>: <the failure's diagnostic form>".
[[noreturn]] void creation_failure(std::string_view step, HRESULT hr);

} // namespace bw::edge2
