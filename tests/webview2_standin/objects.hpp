// The engine's COM objects: environment, controller, webview, settings and event arguments.
#pragma once

#include "engine.hpp"
#include "event_args.hpp"
#include "page_desktop.hpp"
#include "script.hpp"

#include "core/browser_window/edge2/webview2_abi.hpp"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace standin {

// What the engine answers for methods it does not model. Closed objects answer like the engine.
inline constexpr HRESULT not_modelled = E_NOTIMPL;
inline const HRESULT closed_error = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

class Controller;
class Environment;
class Settings;

// Starts creating an environment: the shared work behind the loader's and the runtime's entry
// points. call is the call log line, step the failure step's name.
HRESULT create_environment(const std::string& call, const char* step, IUnknown* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// GetAvailableCoreWebView2BrowserVersionString.
HRESULT available_browser_version(PCWSTR browser_folder, LPWSTR* version);

class Environment final : public ComObject<ICoreWebView2Environment, IID_ICoreWebView2Environment> {
public:
	// background: the colour WEBVIEW2_DEFAULT_BACKGROUND_COLOR held as the environment was created.
	explicit Environment(std::optional<COREWEBVIEW2_COLOR> background) : ComObject("Environment"), background_(background) {}

	HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
	HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream*, int, LPCWSTR, LPCWSTR, ICoreWebView2WebResourceResponse**) override {
		return unmodelled("CreateWebResourceResponse");
	}
	HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) override;
	HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_NewBrowserVersionAvailable");
	}
	HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override {
		return unmodelled("remove_NewBrowserVersionAvailable");
	}

private:
	HRESULT unmodelled(const char* method);

	std::optional<COREWEBVIEW2_COLOR> background_;
};

// WEBVIEW2_DEFAULT_BACKGROUND_COLOR's colour: hexadecimal with an optional 0x, alpha in the first
// two of eight digits (missing leading digits are 0, so a shorter value is transparent).
std::optional<COREWEBVIEW2_COLOR> background_from_environment();
// "FF1E1E1E".
std::string color_text(COREWEBVIEW2_COLOR color);

// A page's document: what a navigation made, and what scripts defined in it.
struct Document {
	std::wstring source;
	bool bridge = false;
};

// How a navigation came about.
struct NavigationCause {
	bool user_initiated = false;
};

// The methods of ICoreWebView2_2 to ICoreWebView2_20 that are not modelled.
#define STANDIN_PLACEHOLDER(slot) \
	HRESULT STDMETHODCALLTYPE placeholder_##slot() override { return unmodelled("ICoreWebView2 slot " #slot); }
#define STANDIN_PLACEHOLDERS_10(tens) \
	STANDIN_PLACEHOLDER(tens##0) STANDIN_PLACEHOLDER(tens##1) STANDIN_PLACEHOLDER(tens##2) STANDIN_PLACEHOLDER(tens##3) \
	STANDIN_PLACEHOLDER(tens##4) STANDIN_PLACEHOLDER(tens##5) STANDIN_PLACEHOLDER(tens##6) STANDIN_PLACEHOLDER(tens##7) \
	STANDIN_PLACEHOLDER(tens##8) STANDIN_PLACEHOLDER(tens##9)

// A current runtime's webview: it answers for ICoreWebView2, ICoreWebView2_4, ICoreWebView2_16,
// ICoreWebView2_21 and ICoreWebView2_24 (an older one is modelled by failing the step
// "QueryInterface.ICoreWebView2_4", "QueryInterface.ICoreWebView2_16" and so on with E_NOINTERFACE).
class WebView final : public ComObject<ICoreWebView2_24, IID_ICoreWebView2_24> {
public:
	WebView();

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

	// The controller went (closed or released): no more calls succeed and no more events arrive.
	void close();
	bool closed() const { return closed_; }

	// The controller that owns it, while it is open.
	void attach(Controller* controller) { controller_ = controller; }
	Controller* controller() const { return controller_; }

	// Page-side actions of the test controls. All deliver their effects later.
	void page_navigate(std::wstring url, NavigationCause cause = {});
	void page_open_window(std::wstring url, bool user_initiated);
	void page_download(DownloadSpec spec);
	void page_process_failed(COREWEBVIEW2_PROCESS_FAILED_KIND kind, COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exit_code);
	void page_run_script(std::wstring_view script);
	bool page_post_message(std::wstring json);
	// The page asks for a permission, for its document's origin unless another is given (a frame's).
	void page_request_permission(COREWEBVIEW2_PERMISSION_KIND kind, std::optional<std::wstring> origin, bool user_initiated);
	// new Notification(...) in the page; and the page closing the last one it made.
	void page_notify(NotificationSpec spec);
	void page_close_notification();
	// Once per process, after the first web page loaded: the actions STANDIN_PAGE_ACTIONS lists.
	void run_environment_page_actions();
	Settings* settings();

	HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
	HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override;
	HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
	HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) override;
	HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE add_ContentLoading(ICoreWebView2ContentLoadingEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_ContentLoading");
	}
	HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken) override { return unmodelled("remove_ContentLoading"); }
	HRESULT STDMETHODCALLTYPE add_SourceChanged(ICoreWebView2SourceChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_SourceChanged");
	}
	HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken) override { return unmodelled("remove_SourceChanged"); }
	HRESULT STDMETHODCALLTYPE add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_HistoryChanged");
	}
	HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken) override { return unmodelled("remove_HistoryChanged"); }
	HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_FrameNavigationStarting");
	}
	HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken) override {
		return unmodelled("remove_FrameNavigationStarting");
	}
	HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(ICoreWebView2NavigationCompletedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_FrameNavigationCompleted");
	}
	HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken) override {
		return unmodelled("remove_FrameNavigationCompleted");
	}
	HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_ScriptDialogOpening");
	}
	HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken) override { return unmodelled("remove_ScriptDialogOpening"); }
	HRESULT STDMETHODCALLTYPE add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
	    LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override;
	HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) override;
	HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) override;
	HRESULT STDMETHODCALLTYPE CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*, ICoreWebView2CapturePreviewCompletedHandler*) override {
		return unmodelled("CapturePreview");
	}
	HRESULT STDMETHODCALLTYPE Reload() override;
	HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR) override { return unmodelled("PostWebMessageAsJson"); }
	HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR) override { return unmodelled("PostWebMessageAsString"); }
	HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override {
		return unmodelled("CallDevToolsProtocolMethod");
	}
	HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32*) override { return unmodelled("get_BrowserProcessId"); }
	HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL*) override { return unmodelled("get_CanGoBack"); }
	HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL*) override { return unmodelled("get_CanGoForward"); }
	HRESULT STDMETHODCALLTYPE GoBack() override { return unmodelled("GoBack"); }
	HRESULT STDMETHODCALLTYPE GoForward() override { return unmodelled("GoForward"); }
	HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**) override {
		return unmodelled("GetDevToolsProtocolEventReceiver");
	}
	HRESULT STDMETHODCALLTYPE Stop() override;
	HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_DocumentTitleChanged");
	}
	HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken) override { return unmodelled("remove_DocumentTitleChanged"); }
	HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR*) override { return unmodelled("get_DocumentTitle"); }
	HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override { return unmodelled("AddHostObjectToScript"); }
	HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override { return unmodelled("RemoveHostObjectFromScript"); }
	HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override { return unmodelled("OpenDevToolsWindow"); }
	HRESULT STDMETHODCALLTYPE add_ContainsFullScreenElementChanged(ICoreWebView2ContainsFullScreenElementChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_ContainsFullScreenElementChanged");
	}
	HRESULT STDMETHODCALLTYPE remove_ContainsFullScreenElementChanged(EventRegistrationToken) override {
		return unmodelled("remove_ContainsFullScreenElementChanged");
	}
	HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL*) override { return unmodelled("get_ContainsFullScreenElement"); }
	HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_WebResourceRequested");
	}
	HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken) override { return unmodelled("remove_WebResourceRequested"); }
	HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(const LPCWSTR, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT) override {
		return unmodelled("AddWebResourceRequestedFilter");
	}
	HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(const LPCWSTR, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT) override {
		return unmodelled("RemoveWebResourceRequestedFilter");
	}
	HRESULT STDMETHODCALLTYPE add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_WindowCloseRequested");
	}
	HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken) override { return unmodelled("remove_WindowCloseRequested"); }

	STANDIN_PLACEHOLDER(61)
	STANDIN_PLACEHOLDER(62)
	STANDIN_PLACEHOLDER(63)
	STANDIN_PLACEHOLDER(64)
	STANDIN_PLACEHOLDER(65)
	STANDIN_PLACEHOLDER(66)
	STANDIN_PLACEHOLDER(67)
	STANDIN_PLACEHOLDER(68)
	STANDIN_PLACEHOLDER(69)
	STANDIN_PLACEHOLDER(70)
	STANDIN_PLACEHOLDER(71)
	STANDIN_PLACEHOLDER(72)
	STANDIN_PLACEHOLDER(73)
	STANDIN_PLACEHOLDER(74)
	HRESULT STDMETHODCALLTYPE add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_DownloadStarting(EventRegistrationToken token) override;
	STANDIN_PLACEHOLDER(77)
	STANDIN_PLACEHOLDER(78)
	STANDIN_PLACEHOLDER(79)
	STANDIN_PLACEHOLDERS_10(8)
	STANDIN_PLACEHOLDERS_10(9)
	STANDIN_PLACEHOLDERS_10(10)
	STANDIN_PLACEHOLDER(110)
	STANDIN_PLACEHOLDER(111)
	STANDIN_PLACEHOLDER(112)
	STANDIN_PLACEHOLDER(113)
	// The dialog itself is the system's: the call is recorded, and it has no completion.
	HRESULT STDMETHODCALLTYPE ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND kind) override {
		return call("ShowPrintUI", std::to_string(static_cast<int>(kind)));
	}
	STANDIN_PLACEHOLDER(115)
	STANDIN_PLACEHOLDER(116)
	STANDIN_PLACEHOLDER(117)
	STANDIN_PLACEHOLDER(118)
	STANDIN_PLACEHOLDER(119)
	STANDIN_PLACEHOLDER(120)
	STANDIN_PLACEHOLDER(121)
	HRESULT STDMETHODCALLTYPE ExecuteScriptWithResult(LPCWSTR javaScript, ICoreWebView2ExecuteScriptWithResultCompletedHandler* handler) override;
	STANDIN_PLACEHOLDER(123)
	STANDIN_PLACEHOLDER(124)
	STANDIN_PLACEHOLDER(125)
	HRESULT STDMETHODCALLTYPE add_NotificationReceived(ICoreWebView2NotificationReceivedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_NotificationReceived(EventRegistrationToken token) override;

private:
	// One of the two handlers, by the call that ran the script.
	struct ScriptCall {
		std::wstring script;
		Ref<ICoreWebView2ExecuteScriptCompletedHandler> handler;
		Ref<ICoreWebView2ExecuteScriptWithResultCompletedHandler> result_handler;
		HRESULT completion;
	};
	// A navigation that has started but whose document does not exist yet. Scripts given to
	// ExecuteScript meanwhile run in the new document.
	struct PendingNavigation {
		uint64_t id;
		std::wstring source;
		bool from_string;
		std::vector<ScriptCall> scripts;
		NavigationCause cause;
	};
	template <class Handler>
	struct Registration {
		int64_t token;
		Ref<Handler> handler;
	};

	HRESULT call(const char* method, std::optional<std::string> arguments = std::nullopt);
	HRESULT unmodelled(const char* method);
	void on_final_release() override;
	void start_navigation(std::wstring source, bool from_string, NavigationCause cause = {});
	// NavigationStarting, then the navigation goes on unless a handler cancelled it.
	void begin_navigation(uint64_t id);
	// Ends the pending navigation as cancelled; its waiting scripts run in the current document.
	void cancel_navigation();
	void commit_navigation(uint64_t id);
	void complete_navigation(uint64_t id, bool success, COREWEBVIEW2_WEB_ERROR_STATUS status);
	// Runs a script in the current document, now; its messages and completion come later.
	void run_now(ScriptCall call);
	ScriptRun run_in_document(const std::wstring& script);
	HRESULT queue_script(ScriptCall script_call);
	void deliver_message(std::wstring json, std::wstring source);
	void settle_permission(const std::wstring& origin, COREWEBVIEW2_PERMISSION_KIND kind, COREWEBVIEW2_PERMISSION_STATE state, const char* how);
	bool messages_enabled();

	bool closed_ = false;
	Document document_{L"about:blank"};
	std::optional<PendingNavigation> pending_;
	std::vector<std::pair<std::wstring, std::wstring>> document_scripts_;
	std::vector<Registration<ICoreWebView2NavigationCompletedEventHandler>> navigation_handlers_;
	std::vector<Registration<ICoreWebView2WebMessageReceivedEventHandler>> message_handlers_;
	std::vector<Registration<ICoreWebView2NavigationStartingEventHandler>> starting_handlers_;
	std::vector<Registration<ICoreWebView2NewWindowRequestedEventHandler>> new_window_handlers_;
	std::vector<Registration<ICoreWebView2ProcessFailedEventHandler>> failure_handlers_;
	std::vector<Registration<ICoreWebView2DownloadStartingEventHandler>> download_handlers_;
	std::vector<Registration<ICoreWebView2PermissionRequestedEventHandler>> permission_handlers_;
	std::vector<Registration<ICoreWebView2NotificationReceivedEventHandler>> notification_handlers_;
	// The origins the page's notifications were granted to, and its latest notification.
	std::vector<std::wstring> notifications_granted_;
	Ref<Notification> last_notification_;
	Ref<Settings> settings_;
	Controller* controller_ = nullptr;
};

// A current runtime's controller: it answers for ICoreWebView2Controller2 too (an older one is
// modelled by failing the step "QueryInterface.ICoreWebView2Controller2" with E_NOINTERFACE).
class Controller final : public ComObject<ICoreWebView2Controller2, IID_ICoreWebView2Controller2> {
public:
	Controller(Ref<Environment> environment, HWND parent, std::optional<COREWEBVIEW2_COLOR> background);

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
	// The user zooms (Ctrl+wheel); false when the settings do not let them.
	bool user_zoom(double factor);

	HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) override;
	HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) override;
	HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override;
	HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
	HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) override;
	HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoomFactor) override;
	HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* eventHandler, EventRegistrationToken* token) override;
	HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken token) override;
	HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) override { return unmodelled("SetBoundsAndZoomFactor"); }
	HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON) override { return unmodelled("MoveFocus"); }
	HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_MoveFocusRequested");
	}
	HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken) override { return unmodelled("remove_MoveFocusRequested"); }
	HRESULT STDMETHODCALLTYPE add_GotFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_GotFocus");
	}
	HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken) override { return unmodelled("remove_GotFocus"); }
	HRESULT STDMETHODCALLTYPE add_LostFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_LostFocus");
	}
	HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken) override { return unmodelled("remove_LostFocus"); }
	HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*) override {
		return unmodelled("add_AcceleratorKeyPressed");
	}
	HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken) override { return unmodelled("remove_AcceleratorKeyPressed"); }
	HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override;
	HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND parentWindow) override;
	HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override { return unmodelled("NotifyParentWindowPositionChanged"); }
	HRESULT STDMETHODCALLTYPE Close() override;
	HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override;
	HRESULT STDMETHODCALLTYPE get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* value) override;
	HRESULT STDMETHODCALLTYPE put_DefaultBackgroundColor(COREWEBVIEW2_COLOR value) override;

private:
	HRESULT call(const char* method, std::optional<std::string> arguments = std::nullopt);
	HRESULT unmodelled(const char* method);
	void close();
	void on_final_release() override;

	Ref<Environment> environment_;
	Ref<WebView> webview_;
	HWND parent_;
	HWND host_ = nullptr;
	RECT bounds_{};
	BOOL visible_ = TRUE;
	bool closed_ = false;
	double zoom_ = 1.0;
	// White unless the environment variable said otherwise.
	COREWEBVIEW2_COLOR background_{255, 255, 255, 255};
	std::vector<std::pair<int64_t, Ref<ICoreWebView2ZoomFactorChangedEventHandler>>> zoom_handlers_;
};

class Settings final : public ComObject<ICoreWebView2Settings, IID_ICoreWebView2Settings> {
public:
	enum Flag { Script, WebMessage, ScriptDialogs, StatusBar, DevTools, ContextMenus, HostObjects, ZoomControl, BuiltInErrorPage, count };
	static constexpr std::array<const char*, count> names{"IsScriptEnabled", "IsWebMessageEnabled", "AreDefaultScriptDialogsEnabled",
	    "IsStatusBarEnabled", "AreDevToolsEnabled", "AreDefaultContextMenusEnabled", "AreHostObjectsAllowed", "IsZoomControlEnabled",
	    "IsBuiltInErrorPageEnabled"};

	Settings() : ComObject("Settings") { values_.fill(TRUE); }

	BOOL value(Flag flag) const { return values_[flag]; }

	HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) override { return get(Script, value); }
	HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) override { return put(Script, value); }
	HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* value) override { return get(WebMessage, value); }
	HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL value) override { return put(WebMessage, value); }
	HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* value) override { return get(ScriptDialogs, value); }
	HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL value) override { return put(ScriptDialogs, value); }
	HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) override { return get(StatusBar, value); }
	HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) override { return put(StatusBar, value); }
	HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* value) override { return get(DevTools, value); }
	HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL value) override { return put(DevTools, value); }
	HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL* value) override { return get(ContextMenus, value); }
	HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL value) override { return put(ContextMenus, value); }
	HRESULT STDMETHODCALLTYPE get_AreHostObjectsAllowed(BOOL* value) override { return get(HostObjects, value); }
	HRESULT STDMETHODCALLTYPE put_AreHostObjectsAllowed(BOOL value) override { return put(HostObjects, value); }
	HRESULT STDMETHODCALLTYPE get_IsZoomControlEnabled(BOOL* value) override { return get(ZoomControl, value); }
	HRESULT STDMETHODCALLTYPE put_IsZoomControlEnabled(BOOL value) override { return put(ZoomControl, value); }
	HRESULT STDMETHODCALLTYPE get_IsBuiltInErrorPageEnabled(BOOL* value) override { return get(BuiltInErrorPage, value); }
	HRESULT STDMETHODCALLTYPE put_IsBuiltInErrorPageEnabled(BOOL value) override { return put(BuiltInErrorPage, value); }

private:
	HRESULT get(Flag flag, BOOL* value);
	HRESULT put(Flag flag, BOOL value);

	std::array<BOOL, count> values_;
};

class NavigationCompletedEventArgs final
    : public ComObject<ICoreWebView2NavigationCompletedEventArgs, IID_ICoreWebView2NavigationCompletedEventArgs> {
public:
	NavigationCompletedEventArgs(bool success, COREWEBVIEW2_WEB_ERROR_STATUS status, uint64_t id)
	    : ComObject("NavigationCompletedEventArgs"), success_(success), status_(status), id_(id) {}

	HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* isSuccess) override;
	HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* webErrorStatus) override;
	HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* navigationId) override;

private:
	bool success_;
	COREWEBVIEW2_WEB_ERROR_STATUS status_;
	uint64_t id_;
};

class WebMessageReceivedEventArgs final
    : public ComObject<ICoreWebView2WebMessageReceivedEventArgs, IID_ICoreWebView2WebMessageReceivedEventArgs> {
public:
	WebMessageReceivedEventArgs(std::wstring json, std::wstring source)
	    : ComObject("WebMessageReceivedEventArgs"), json_(std::move(json)), source_(std::move(source)) {}

	HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) override;

private:
	std::wstring json_;
	std::wstring source_;
};

class ScriptException final : public ComObject<ICoreWebView2ScriptException, IID_ICoreWebView2ScriptException> {
public:
	explicit ScriptException(const ScriptRun& run)
	    : ComObject("ScriptException"), name_(run.thrown->name), message_(run.thrown->message), json_(run.exception_json()) {}

	HRESULT STDMETHODCALLTYPE get_LineNumber(UINT32* value) override;
	HRESULT STDMETHODCALLTYPE get_ColumnNumber(UINT32* value) override;
	HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_Message(LPWSTR* value) override;
	HRESULT STDMETHODCALLTYPE get_ToJson(LPWSTR* value) override;

private:
	std::wstring name_;
	std::wstring message_;
	std::wstring json_;
};

class ExecuteScriptResult final : public ComObject<ICoreWebView2ExecuteScriptResult, IID_ICoreWebView2ExecuteScriptResult> {
public:
	explicit ExecuteScriptResult(ScriptRun run) : ComObject("ExecuteScriptResult"), run_(std::move(run)) {}

	HRESULT STDMETHODCALLTYPE get_Succeeded(BOOL* value) override;
	HRESULT STDMETHODCALLTYPE get_ResultAsJson(LPWSTR* jsonResult) override;
	HRESULT STDMETHODCALLTYPE TryGetResultAsString(LPWSTR* stringResult, BOOL* value) override;
	HRESULT STDMETHODCALLTYPE get_Exception(ICoreWebView2ScriptException** exception) override;

private:
	ScriptRun run_;
};

// Whether a navigation to url succeeds, by the engine's rules; status says why not.
bool navigation_succeeds(std::wstring_view url, COREWEBVIEW2_WEB_ERROR_STATUS* status);

// Whether a TCP connection to the host and port of an http or https URL can be made (other URLs
// always succeed).
bool probe_connection(std::wstring_view url, COREWEBVIEW2_WEB_ERROR_STATUS* status);

// Hands out a CoTaskMemAlloc copy through an out pointer, as every string getter of the engine does.
HRESULT hand_out(std::wstring_view text, LPWSTR* out);

} // namespace standin
