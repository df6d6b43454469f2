// The export of EmbeddedBrowserWebView.dll: the same engine posing as an installed runtime, which
// programs start without WebView2Loader.dll.
#include "objects.hpp"
#include "text.hpp"

extern "C" {

__declspec(dllexport) HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(bool checkRunningInstance, int runtimeType,
    PCWSTR userDataFolder, IUnknown* environmentOptions, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
	std::string call = "CreateWebViewEnvironmentWithOptionsInternal(" + std::to_string(checkRunningInstance ? 1 : 0) + "," +
	    std::to_string(runtimeType) + "," + standin::logged(userDataFolder) + "," + (environmentOptions == nullptr ? "null" : "opts") + ")";
	return standin::create_environment(call, "CreateWebViewEnvironmentWithOptionsInternal", environmentOptions, environmentCreatedHandler);
}

} // extern "C"
