// The script that gives every page of a browser window the function invoke_extern, which posts all
// its arguments as one array message to the program. Both engines load it into every document.
#pragma once

#include <string_view>

namespace bw {

inline constexpr std::string_view bridge_script =
    "\n\t\t\t\t\t\tfunction invoke_extern(...args) {\n\t\t\t\t\t\t\twindow.chrome.webview.postMessage([].slice.call(args));\n\t\t\t\t\t\t}\n\t\t\t\t\t";
static_assert(bridge_script.size() == 117);

} // namespace bw
