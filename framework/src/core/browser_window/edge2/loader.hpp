// The engine's entry points: WebView2Loader.dll when it is found beside the executable or in the
// system folder (never in the current folder or on PATH), otherwise the installed runtime's own DLL.
// Loaded once, never unloaded.
#pragma once

#include "core/browser_window/edge2/webview2_abi.hpp"

#include <string>

namespace bw::edge2 {

struct Loader {
	// From WebView2Loader.dll.
	CreateCoreWebView2EnvironmentWithOptionsFn create_environment = nullptr;
	// Older loaders may lack it.
	GetAvailableCoreWebView2BrowserVersionStringFn browser_version = nullptr;
	// Without the loader DLL: the installed runtime's entry and its version.
	CreateWebViewEnvironmentWithOptionsInternalFn runtime_create = nullptr;
	std::wstring runtime_version;
};

// The entry points; all empty when neither the loader DLL nor an installed runtime is there. A
// loader DLL or runtime DLL that cannot be loaded, or lacks its export, ends the process with a
// text naming it (a creation failure).
const Loader& loader();

// GetAvailableCoreWebView2BrowserVersionString through whichever entry there is: the version as a
// CoTaskMemAlloc string, or HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and null without a runtime.
HRESULT available_browser_version(const Loader& loader, LPWSTR* version);

// Makes sure a runtime is installed; without one the process ends with a text that tells the user
// what to install.
void require_runtime(const Loader& loader);

// Starts creating the environment through the loader DLL or the runtime. user_data_folder may be
// null: the folder beside the executable.
HRESULT create_environment(const Loader& loader, PCWSTR user_data_folder, ICoreWebView2EnvironmentOptions* options,
                           ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

} // namespace bw::edge2
