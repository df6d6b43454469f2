// Environment creation, the environment object and controller creation.
#include "objects.hpp"
#include "text.hpp"

#include <cstdio>

namespace standin {
namespace {

std::string option_text(HRESULT hr, LPWSTR value) {
	if (FAILED(hr)) return "failed " + hex(hr);
	std::string text = logged(value);
	CoTaskMemFree(value);
	return text;
}

// Reads the caller's options as the loader does, logging each value.
HRESULT read_options(IUnknown* object) {
	Engine& engine = Engine::get();
	void* probe = reinterpret_cast<void*>(1);
	if (SUCCEEDED(object->QueryInterface(IID_ICoreWebView2, &probe))) {
		engine.violation("environment options answer QueryInterface for ICoreWebView2");
		static_cast<IUnknown*>(probe)->Release();
	} else if (probe != nullptr) {
		engine.violation("environment options left the out pointer set on a failed QueryInterface");
	}
	auto options = query_handler(reinterpret_cast<ICoreWebView2EnvironmentOptions*>(object), IID_ICoreWebView2EnvironmentOptions,
	    "the environment options");
	if (!options) return E_NOINTERFACE;

	LPWSTR value = nullptr;
	HRESULT hr = options->get_AdditionalBrowserArguments(&value);
	engine.record_call("options.get_AdditionalBrowserArguments=" + option_text(hr, value));
	value = nullptr;
	hr = options->get_Language(&value);
	engine.record_call("options.get_Language=" + option_text(hr, value));
	value = nullptr;
	hr = options->get_TargetCompatibleBrowserVersion(&value);
	engine.record_call("options.get_TargetCompatibleBrowserVersion=" + option_text(hr, value));
	BOOL allow = FALSE;
	hr = options->get_AllowSingleSignOnUsingOSPrimaryAccount(&allow);
	engine.record_call(
	    "options.get_AllowSingleSignOnUsingOSPrimaryAccount=" + (FAILED(hr) ? "failed " + hex(hr) : std::to_string(allow)));
	return S_OK;
}

} // namespace

HRESULT create_environment(const std::string& call, const char* step, IUnknown* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
	Engine& engine = Engine::get();
	engine.record_call(call);
	if (HRESULT hr = engine.failure(step); FAILED(hr)) return hr;
	if (handler == nullptr) return E_POINTER;

	// The engine lives in a single-threaded apartment.
	APTTYPE type;
	APTTYPEQUALIFIER qualifier;
	HRESULT apartment = CoGetApartmentType(&type, &qualifier);
	if (apartment == CO_E_NOTINITIALIZED) return CO_E_NOTINITIALIZED;
	if (SUCCEEDED(apartment) && type == APTTYPE_MTA) return RPC_E_CHANGED_MODE;

	if (!engine.browser_version()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
	auto completed = query_handler(handler, IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, "the environment completion handler");
	if (!completed) return E_NOINTERFACE;
	if (options != nullptr) {
		if (HRESULT hr = read_options(options); FAILED(hr)) return hr;
	}

	// The engine takes the colour from the variable as it starts.
	std::optional<COREWEBVIEW2_COLOR> background = background_from_environment();
	if (background) engine.record_event("background from WEBVIEW2_DEFAULT_BACKGROUND_COLOR " + color_text(*background));
	engine.post([completed, completion_step = std::string(step) + ".completion", background] {
		Engine& engine = Engine::get();
		HRESULT hr = engine.failure(completion_step);
		engine.record_event("environment completed " + hex(hr));
		if (FAILED(hr)) {
			completed->Invoke(hr, nullptr);
			return;
		}
		auto environment = Ref<Environment>::adopt(new Environment(background));
		completed->Invoke(S_OK, environment.get());
	});
	return S_OK;
}

std::optional<COREWEBVIEW2_COLOR> background_from_environment() {
	wchar_t value[64];
	DWORD length = GetEnvironmentVariableW(L"WEBVIEW2_DEFAULT_BACKGROUND_COLOR", value, 64);
	if (length == 0 || length >= 64) return std::nullopt;
	std::wstring_view digits(value, length);
	if (digits.starts_with(L"0x") || digits.starts_with(L"0X")) digits.remove_prefix(2);
	if (digits.empty() || digits.size() > 8) return std::nullopt;
	uint32_t argb = 0;
	for (wchar_t c : digits) {
		int digit = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : c >= L'A' && c <= L'F' ? c - L'A' + 10 : -1;
		if (digit < 0) return std::nullopt;
		argb = argb * 16 + static_cast<uint32_t>(digit);
	}
	return COREWEBVIEW2_COLOR{static_cast<BYTE>(argb >> 24), static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb)};
}

std::string color_text(COREWEBVIEW2_COLOR color) {
	char text[16];
	std::snprintf(text, sizeof text, "%02X%02X%02X%02X", color.A, color.R, color.G, color.B);
	return text;
}

HRESULT available_browser_version(PCWSTR browser_folder, LPWSTR* version) {
	Engine& engine = Engine::get();
	engine.record_call("GetAvailableCoreWebView2BrowserVersionString(" + logged(browser_folder) + ")");
	if (version == nullptr) return E_POINTER;
	*version = nullptr;
	if (HRESULT hr = engine.failure("GetAvailableCoreWebView2BrowserVersionString"); FAILED(hr)) return hr;
	auto installed = engine.browser_version();
	if (!installed) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
	return hand_out(*installed, version);
}

HRESULT hand_out(std::wstring_view text, LPWSTR* out) {
	if (out == nullptr) return E_POINTER;
	*out = co_task_copy(text);
	return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT Environment::unmodelled(const char* method) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine::get().record_call(method);
	return not_modelled;
}

HRESULT Environment::CreateCoreWebView2Controller(HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
	if (HRESULT hr = enter("CreateCoreWebView2Controller"); FAILED(hr)) return hr;
	Engine& engine = Engine::get();
	const char* window = parentWindow == nullptr ? "null" : IsWindow(parentWindow) ? "window" : "not a window";
	engine.record_call(std::string("CreateCoreWebView2Controller(") + window + ")");
	if (HRESULT hr = engine.failure("CreateCoreWebView2Controller"); FAILED(hr)) return hr;
	if (handler == nullptr) return E_POINTER;
	auto completed = query_handler(handler, IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, "the controller completion handler");
	if (!completed) return E_NOINTERFACE;

	// The pending creation keeps the environment alive, as the caller may release it at once.
	engine.post([completed, environment = Ref<Environment>::share(this), parentWindow, background = background_] {
		Engine& engine = Engine::get();
		HRESULT hr = engine.failure("CreateCoreWebView2Controller.completion");
		// The parent may have gone meanwhile.
		if (SUCCEEDED(hr) && !IsWindow(parentWindow)) hr = HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
		engine.record_event("controller completed " + hex(hr));
		if (FAILED(hr)) {
			completed->Invoke(hr, nullptr);
			return;
		}
		auto controller = Ref<Controller>::adopt(new Controller(environment, parentWindow, background));
		completed->Invoke(S_OK, controller.get());
	});
	return S_OK;
}

HRESULT Environment::get_BrowserVersionString(LPWSTR* versionInfo) {
	if (HRESULT hr = enter("get_BrowserVersionString"); FAILED(hr)) return hr;
	Engine::get().record_call("get_BrowserVersionString");
	return hand_out(Engine::get().browser_version().value_or(L""), versionInfo);
}

} // namespace standin
