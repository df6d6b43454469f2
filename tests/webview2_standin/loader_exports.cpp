// The exports of WebView2Loader.dll.
#include "objects.hpp"
#include "text.hpp"

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(PCWSTR browserExecutableFolder,
    PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
	std::string call = "CreateCoreWebView2EnvironmentWithOptions(" + standin::logged(browserExecutableFolder) + "," +
	    standin::logged(userDataFolder) + "," + (environmentOptions == nullptr ? "null" : "opts") + ")";
	return standin::create_environment(
	    call, "CreateCoreWebView2EnvironmentWithOptions", environmentOptions, environmentCreatedHandler);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo) {
	return standin::available_browser_version(browserExecutableFolder, versionInfo);
}

} // extern "C"
