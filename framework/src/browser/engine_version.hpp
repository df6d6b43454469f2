// The browser engine's name and version, for a program's --version: "WebKitGTK 2.48.3", or the
// WebView2 runtime found ("WebView2 Runtime 138.0.3351.48"); says so when none is found.
#pragma once

#include <string>

namespace bw {

std::string engine_version();

} // namespace bw
