// Failures that keep a browser window from being created. Nothing can report them to the builder
// (its callback carries no error), so they end the process with exit code 101 (a fatal stop). The
// user is told once: by the program's own fatal-stop observer when it has one (titled by the
// program), otherwise by an error box titled "<program name> Error". The standard error stream gets
// the failure's debug form.
//
// Setting the environment variable BW_NO_ERROR_BOX to 1 skips the box of our own (for tests, where
// nobody would answer it).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace bw::edge2 {

[[noreturn]] void creation_failure(const std::string& text);

// Shown as "<step>: 0x80070005 Access is denied."; "<step>: <debug form>" on the standard error stream.
[[noreturn]] void creation_failure(std::string_view step, HRESULT hr);

} // namespace bw::edge2
