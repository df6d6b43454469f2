// WebView2Loader.dll: found beside the executable or on the system's search path, loaded once.
#pragma once

#include "core/browser_window/edge2/webview2_abi.hpp"

namespace bw::edge2 {

struct Loader {
	CreateCoreWebView2EnvironmentWithOptionsFn create_environment;
	// Older loaders may lack it.
	GetAvailableCoreWebView2BrowserVersionStringFn browser_version;
};

// The loader's entry points. A missing DLL or export ends the process with a text naming it (a
// creation failure).
const Loader& loader();

// Asks the loader for the installed runtime; without one the process ends with a text that tells
// the user what to install.
void require_runtime(const Loader& loader);

} // namespace bw::edge2
