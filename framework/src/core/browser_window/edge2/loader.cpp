#include "core/browser_window/edge2/loader.hpp"

#include "core/browser_window/edge2/creation_failure.hpp"

namespace bw::edge2 {

namespace {

constexpr char loader_name[] = "WebView2Loader.dll";
constexpr char create_export[] = "CreateCoreWebView2EnvironmentWithOptions";
constexpr char version_export[] = "GetAvailableCoreWebView2BrowserVersionString";

template <class Fn>
Fn export_of(HMODULE module, const char* name) {
	return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HRESULT last_error() {
	DWORD code = GetLastError();
	return code == 0 ? E_FAIL : HRESULT_FROM_WIN32(code);
}

Loader load() {
	HMODULE module = LoadLibraryW(L"WebView2Loader.dll");
	if (module == nullptr) creation_failure(std::string("unable to load ") + loader_name, last_error());
	Loader loaded{export_of<CreateCoreWebView2EnvironmentWithOptionsFn>(module, create_export),
	              export_of<GetAvailableCoreWebView2BrowserVersionStringFn>(module, version_export)};
	if (loaded.create_environment == nullptr)
		creation_failure(std::string(loader_name) + " has no export " + create_export, last_error());
	// The module stays loaded for the rest of the process.
	return loaded;
}

} // namespace

const Loader& loader() {
	static const Loader loaded = load();
	return loaded;
}

void require_runtime(const Loader& loader) {
	if (loader.browser_version == nullptr) return;
	LPWSTR version = nullptr;
	HRESULT hr = loader.browser_version(nullptr, &version);
	CoTaskMemFree(version);
	if (FAILED(hr))
		creation_failure("The Microsoft Edge WebView2 Runtime is not installed. Install it from "
		                 "https://go.microsoft.com/fwlink/p/?LinkId=2124703");
}

} // namespace bw::edge2
