#include "core/browser_window/edge2/loader.hpp"

#include "core/browser_window/edge2/creation_failure.hpp"
#include "core/browser_window/edge2/runtime_locator.hpp"

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace bw::edge2 {

namespace {

constexpr char loader_name[] = "WebView2Loader.dll";
constexpr char create_export[] = "CreateCoreWebView2EnvironmentWithOptions";
constexpr char version_export[] = "GetAvailableCoreWebView2BrowserVersionString";
constexpr char runtime_export[] = "CreateWebViewEnvironmentWithOptionsInternal";

template <class Fn>
Fn export_of(HMODULE module, const char* name) {
	return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HRESULT last_error() {
	DWORD code = GetLastError();
	return code == 0 ? E_FAIL : HRESULT_FROM_WIN32(code);
}

std::string utf8(const std::wstring& text) {
	int units = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
	std::string out(static_cast<std::size_t>(units > 0 ? units : 0), '\0');
	if (units > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units, nullptr, nullptr);
	return out;
}

// Never the current folder (nor PATH): a DLL planted there is not loaded.
constexpr DWORD loader_search = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
// By its full path; its own dependencies sit beside it.
constexpr DWORD runtime_search = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

// The first installed runtime that loads and has its entry; one that is there but broken gives way
// to the next. When none does, the first one's failure is reported.
Loader load_runtime() {
	std::vector<InstalledRuntime> runtimes = find_installed_runtimes();
	if (runtimes.empty()) return {};
	std::optional<std::pair<std::string, HRESULT>> first_failure;
	for (InstalledRuntime& runtime : runtimes) {
		HMODULE module = LoadLibraryExW(runtime.dll.c_str(), nullptr, runtime_search);
		if (module == nullptr) {
			if (!first_failure) first_failure.emplace("unable to load " + utf8(runtime.dll), last_error());
			continue;
		}
		Loader loaded;
		loaded.runtime_create = export_of<CreateWebViewEnvironmentWithOptionsInternalFn>(module, runtime_export);
		if (loaded.runtime_create == nullptr) {
			if (!first_failure) first_failure.emplace(utf8(runtime.dll) + " has no export " + runtime_export, last_error());
			FreeLibrary(module);
			continue;
		}
		loaded.runtime_version = std::move(runtime.version);
		return loaded;
	}
	creation_failure(first_failure->first, first_failure->second);
}

Loader load() {
	HMODULE module = LoadLibraryExW(L"WebView2Loader.dll", nullptr, loader_search);
	if (module == nullptr) {
		DWORD code = GetLastError();
		// Only a loader that is not there at all sends us to the installed runtime; one that is
		// there but broken is reported.
		if (code == ERROR_MOD_NOT_FOUND) return load_runtime();
		creation_failure(std::string("unable to load ") + loader_name, code == 0 ? E_FAIL : HRESULT_FROM_WIN32(code));
	}
	Loader loaded;
	loaded.create_environment = export_of<CreateCoreWebView2EnvironmentWithOptionsFn>(module, create_export);
	loaded.browser_version = export_of<GetAvailableCoreWebView2BrowserVersionStringFn>(module, version_export);
	if (loaded.create_environment == nullptr)
		creation_failure(std::string(loader_name) + " has no export " + create_export, last_error());
	return loaded;
}

// The loader's default when it is given none: "<executable>.WebView2" beside the executable.
std::wstring default_user_data_folder() {
	std::wstring path(MAX_PATH, L'\0');
	for (;;) {
		DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
		if (length < path.size()) {
			path.resize(length);
			break;
		}
		path.resize(path.size() * 2);
	}
	return path + L".WebView2";
}

} // namespace

const Loader& loader() {
	static const Loader loaded = load();
	return loaded;
}

HRESULT available_browser_version(const Loader& loader, LPWSTR* version) {
	if (version == nullptr) return E_POINTER;
	*version = nullptr;
	if (loader.browser_version != nullptr) return loader.browser_version(nullptr, version);
	if (loader.runtime_create == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
	std::size_t bytes = (loader.runtime_version.size() + 1) * sizeof(wchar_t);
	*version = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
	if (*version == nullptr) return E_OUTOFMEMORY;
	std::memcpy(*version, loader.runtime_version.c_str(), bytes);
	return S_OK;
}

void require_runtime(const Loader& loader) {
	// An older loader DLL cannot tell: its own creation reports a missing runtime.
	if (loader.create_environment != nullptr && loader.browser_version == nullptr) return;
	LPWSTR version = nullptr;
	HRESULT hr = available_browser_version(loader, &version);
	CoTaskMemFree(version);
	if (FAILED(hr))
		creation_failure("The Microsoft Edge WebView2 Runtime is not installed. Install it from "
		                 "https://go.microsoft.com/fwlink/p/?LinkId=2124703");
}

HRESULT create_environment(const Loader& loader, PCWSTR user_data_folder, ICoreWebView2EnvironmentOptions* options,
                           ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
	if (loader.create_environment != nullptr) return loader.create_environment(nullptr, user_data_folder, options, handler);
	if (loader.runtime_create == nullptr) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
	// Supplying the default is the loader DLL's work; the runtime is not known to have one.
	std::wstring folder = user_data_folder != nullptr ? std::wstring(user_data_folder) : default_user_data_folder();
	// Reuse a browser process already running on the same folder; 0: the installed runtime.
	return loader.runtime_create(true, 0, folder.c_str(), options, handler);
}

} // namespace bw::edge2
