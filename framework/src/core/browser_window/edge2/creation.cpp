// Creating a browser window: the record and its native window at once, then the engine's
// environment, its controller, the settings, the bounds and the first navigation, each stage
// announced later by a completion on the GUI thread.
#include "browser/user_languages.hpp"
#include "core/browser_window/bridge_script.hpp"
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/creation_failure.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/environment_options.hpp"
#include "core/browser_window/edge2/liveness.hpp"
#include "core/browser_window/edge2/loader.hpp"
#include "core/browser_window/edge2/script_completion.hpp"
#include "core/browser_window/edge2/user_data_folder.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/process.hpp"
#include "core/string.hpp"

#include <bw/window_win32.h>
#include <wrl/client.h>

#include <memory>
#include <utility>

namespace bw {

namespace {

using Microsoft::WRL::ComPtr;


// What travels from new_ through the two completions; consumed exactly once.
struct CreationContext {
	bw_BrowserWindowOptions options;
	HWND window;
	bw_BrowserWindow* record;
	Source source;
	std::shared_ptr<edge2::Liveness> liveness;
	edge2::BackgroundPreset background;
};

// The bridge's registration for every new document; its outcome changes nothing.
class DocumentScriptAdded final : public edge2::ComHandler<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
                                                           IID_ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> {
public:
	HRESULT STDMETHODCALLTYPE Invoke(HRESULT, LPCWSTR) override { return S_OK; }

private:
	~DocumentScriptAdded() override = default;
};

// The source is freed once the navigation has started.
HRESULT navigate_to_source(ICoreWebView2* webview, Source source) {
	std::wstring text;
	if (const auto* html = std::get_if<Source::Html>(&source.value)) {
		if (HRESULT hr = edge2::to_engine_text(html->html, text); FAILED(hr)) return hr;
		return webview->NavigateToString(text.c_str());
	}
	// A file goes to the engine as its plain path text, without a scheme.
	std::string target = std::holds_alternative<Source::Url>(source.value) ? std::get<Source::Url>(source.value).url
	                                                                         : process::path_to_utf8_lossy(std::get<Source::File>(source.value).path);
	if (HRESULT hr = edge2::to_engine_text(target, text); FAILED(hr)) return hr;
	return webview->Navigate(text.c_str());
}

// Starts the first navigation, to the source or, when the program holds it, once the program opens
// the gate (to the address it gives then). The limit on it counts from its start.
void navigate_first(const edge2::ViewParts& view, Source source) {
	const std::shared_ptr<FirstNavigationGate>& gate = view.capabilities().first_navigation_gate;
	auto go = [record = view.record, liveness = view.liveness, webview = ComPtr<ICoreWebView2>(view.webview)](Source source, const std::string& url) {
		if (!liveness->alive) return;
		edge2::start_first_navigation_limit(edge2::ViewParts{nullptr, webview.Get(), nullptr, record, liveness});
		HRESULT hr = S_OK;
		if (url.empty()) {
			hr = navigate_to_source(webview.Get(), std::move(source));
		} else {
			std::wstring text;
			hr = edge2::to_engine_text(url, text);
			if (SUCCEEDED(hr)) hr = webview->Navigate(text.c_str());
		}
		if (FAILED(hr)) edge2::creation_failure("unable to navigate to source", hr);
	};
	if (!gate) return go(std::move(source), {});
	gate->when_open([go, source = std::move(source)](const std::string& url) { go(source, url); });
}

// Brings up the view in the window and starts loading the source. The program's capabilities are
// all in place before the first navigation starts.
void set_up_view(ICoreWebView2Controller* controller, CreationContext& context) {
	edge2::ViewParts view{controller, nullptr, nullptr, context.record, context.liveness};
	edge2::install_background(view);
	controller->put_IsVisible(TRUE);
	ComPtr<ICoreWebView2> webview;
	HRESULT hr = controller->get_CoreWebView2(webview.GetAddressOf());
	if (SUCCEEDED(hr) && webview == nullptr) hr = E_POINTER;
	if (FAILED(hr)) edge2::creation_failure("unable to get webview", hr);
	ComPtr<ICoreWebView2Settings> settings;
	hr = webview->get_Settings(settings.GetAddressOf());
	if (SUCCEEDED(hr) && settings == nullptr) hr = E_POINTER;
	if (FAILED(hr)) edge2::creation_failure("unable to get settings", hr);
	settings->put_IsScriptEnabled(TRUE);
	settings->put_AreDefaultScriptDialogsEnabled(TRUE);
	settings->put_IsWebMessageEnabled(TRUE);
	settings->put_AreDevToolsEnabled(context.options.dev_tools > 0 ? TRUE : FALSE);
	view.webview = webview.Get();
	view.settings = settings.Get();
	edge2::install_error_pages(view);
	RECT bounds{};
	GetClientRect(context.window, &bounds);
	controller->put_Bounds(bounds);
	edge2::fill_slot(context.record->impl_.controller, controller);
	edge2::fill_slot(context.record->impl_.webview, webview.Get());
	edge2::install_zoom(view);
	edge2::install_navigation_policy(view);
	edge2::install_downloads(view);
	edge2::install_process_failure(view);
	edge2::install_load_events(view);
	edge2::install_notifications(view);
	edge2::install_permissions(view);
	edge2::install_desktop_theme(view);

	std::wstring bridge;
	edge2::to_engine_text(bridge_script, bridge);
	// Defines the bridge in every document from the first one on, also in those the page reaches
	// by itself; the script issued after the navigation covers an engine that is late with this.
	auto* added = new DocumentScriptAdded();
	webview->AddScriptToExecuteOnDocumentCreated(bridge.c_str(), added);
	added->Release();

	navigate_first(view, std::move(context.source));

	ApplicationImpl app(bw_Window_getApp(context.record->window));
	auto* bridge_completion = new edge2::ScriptCompletion(edge2::ScriptCompletion::Text::Value, app, BrowserWindowImpl(context.record), nullptr, nullptr);
	webview->ExecuteScript(bridge.c_str(), bridge_completion);
	bridge_completion->Release();

	edge2::watch_first_navigation(view);
}

class ControllerCompletion final : public edge2::ComHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                                                            IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> {
public:
	explicit ControllerCompletion(std::unique_ptr<CreationContext> context) : context_(std::move(context)) {}

	// The controller is only lent: the slot takes a reference of its own.
	HRESULT STDMETHODCALLTYPE Invoke(HRESULT error_code, ICoreWebView2Controller* controller) override {
		edge2::KeepAlive keep(this);
		if (context_) edge2::restore_background(context_->background);
		if (SUCCEEDED(error_code) && controller == nullptr) error_code = E_POINTER;
		if (FAILED(error_code)) edge2::creation_failure("controller error", error_code);
		std::unique_ptr<CreationContext> context = std::move(context_);
		if (!context) return S_OK;
		ComPtr<ICoreWebView2Controller> held(controller);
		set_up_view(held.Get(), *context);
		return S_OK;
	}

private:
	~ControllerCompletion() override = default;

	std::unique_ptr<CreationContext> context_;
};

class EnvironmentCompletion final : public edge2::ComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                                                             IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> {
public:
	explicit EnvironmentCompletion(std::unique_ptr<CreationContext> context) : context_(std::move(context)) {}

	// The environment is only lent; the engine keeps it alive while the controller is being made.
	HRESULT STDMETHODCALLTYPE Invoke(HRESULT error_code, ICoreWebView2Environment* environment) override {
		edge2::KeepAlive keep(this);
		if (SUCCEEDED(error_code) && environment == nullptr) error_code = E_POINTER;
		if (FAILED(error_code)) edge2::creation_failure("environment error", error_code);
		std::unique_ptr<CreationContext> context = std::move(context_);
		if (!context) return S_OK;
		HWND window = context->window;
		auto* next = new ControllerCompletion(std::move(context));
		HRESULT hr = environment->CreateCoreWebView2Controller(window, next);
		next->Release();
		// Its completion would never come: the window would wait unannounced for ever.
		if (FAILED(hr)) edge2::creation_failure("controller error", hr);
		return S_OK;
	}

private:
	~EnvironmentCompletion() override = default;

	std::unique_ptr<CreationContext> context_;
};

} // namespace

void BrowserWindowImpl::new_(ApplicationImpl app, WindowImpl parent, Source source, std::string_view title, std::optional<uint32_t> width,
                             std::optional<uint32_t> height, const bw_WindowOptions& window_options, const bw_BrowserWindowOptions& browser_options,
                             std::shared_ptr<const PageCapabilities> capabilities, CreationCallback callback, void* callback_data) {
	bw_BrowserWindow* record = bw_BrowserWindow_new(app.inner(), parent.inner(), to_cstr_slice(title), window_size_argument(width),
	                                                window_size_argument(height), &window_options);
	HWND window = bw_WindowWin32_getHandle(record->window);
	std::shared_ptr<edge2::Liveness> liveness = edge2::liveness_begin(record, std::move(capabilities));
	liveness->announce = [callback, record, callback_data] { callback(BrowserWindowImpl(record), callback_data); };

	const edge2::Loader& loader = edge2::loader();
	edge2::require_runtime(loader);
	auto context = std::make_unique<CreationContext>(
	    CreationContext{browser_options, window, record, std::move(source), liveness, {}});
	edge2::UserDataFolder user_data = edge2::user_data_folder();
	if (FAILED(user_data.failure))
		edge2::creation_failure("unable to create the user data folder " + process::path_to_utf8_lossy(*user_data.folder), user_data.failure);

	// Read by the engine as it starts, before the view exists.
	context->background = edge2::preset_background(*liveness->capabilities);
	auto* options = new edge2::EnvironmentOptions();
	// The engine takes one language for its pages and its own texts.
	if (liveness->capabilities->user_languages) {
		std::wstring language;
		if (SUCCEEDED(edge2::to_engine_text(user_languages().front(), language))) options->put_Language(language.c_str());
	}
	auto* completion = new EnvironmentCompletion(std::move(context));
	HRESULT hr = edge2::create_environment(loader, user_data.folder ? user_data.folder->c_str() : nullptr, options, completion);
	completion->Release();
	options->Release();
	if (FAILED(hr)) edge2::creation_failure("unable to create environment", hr);
}

} // namespace bw
