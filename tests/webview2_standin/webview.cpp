// The webview: navigations and their documents, scripts, events and the page's messages.
#include "objects.hpp"
#include "registrations.hpp"
#include "script.hpp"
#include "text.hpp"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace standin {
namespace {

// NavigateToString's limit on the content.
constexpr size_t max_string_content_bytes = 2 * 1024 * 1024;

} // namespace

bool navigation_succeeds(std::wstring_view url, COREWEBVIEW2_WEB_ERROR_STATUS* status) {
	*status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
	switch (Engine::get().navigation_mode(url)) {
	case NavigationMode::Succeed: return true;
	case NavigationMode::Probe: return probe_connection(url, status);
	case NavigationMode::Fail:
	case NavigationMode::NeverAnswers: break;
	}
	*status = COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT;
	return false;
}

WebView::WebView() : ComObject("WebView") { Engine::get().webview_opened(this); }

HRESULT WebView::QueryInterface(REFIID iid, void** out) {
	if (out == nullptr) return E_POINTER;
	*out = nullptr;
	if (IsEqualIID(iid, IID_ICoreWebView2)) {
		*out = static_cast<ICoreWebView2*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2_4)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2_4)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2_4"); FAILED(hr)) return hr;
		*out = static_cast<ICoreWebView2_4*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2_16)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2_16)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2_16"); FAILED(hr)) return hr;
		*out = static_cast<ICoreWebView2_16*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2_21)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2_21)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2_21"); FAILED(hr)) return hr;
		*out = static_cast<ICoreWebView2_21*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2_24)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2_24)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2_24"); FAILED(hr)) return hr;
	}
	return ComObject::QueryInterface(iid, out);
}

HRESULT WebView::call(const char* method, std::optional<std::string> arguments) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine& engine = Engine::get();
	engine.record_call(arguments ? std::string(method) + "(" + *arguments + ")" : std::string(method));
	if (closed_) return closed_error;
	return engine.failure(method);
}

HRESULT WebView::unmodelled(const char* method) {
	HRESULT hr = call(method);
	return FAILED(hr) ? hr : not_modelled;
}

void WebView::close() {
	if (closed_) return;
	closed_ = true;
	Engine::get().webview_closed(this);
	// Handlers and waiting scripts are released after they have left the object: a handler's last
	// release may run the caller's code.
	auto navigation_handlers = std::move(navigation_handlers_);
	auto message_handlers = std::move(message_handlers_);
	auto starting_handlers = std::move(starting_handlers_);
	auto new_window_handlers = std::move(new_window_handlers_);
	auto failure_handlers = std::move(failure_handlers_);
	auto download_handlers = std::move(download_handlers_);
	auto permission_handlers = std::move(permission_handlers_);
	auto notification_handlers = std::move(notification_handlers_);
	auto last_notification = std::move(last_notification_);
	auto pending = std::move(pending_);
	navigation_handlers_.clear();
	message_handlers_.clear();
	starting_handlers_.clear();
	new_window_handlers_.clear();
	failure_handlers_.clear();
	download_handlers_.clear();
	permission_handlers_.clear();
	notification_handlers_.clear();
	pending_.reset();
	document_scripts_.clear();
}

void WebView::on_final_release() {
	close();
	settings_.reset();
}

Settings* WebView::settings() {
	if (!settings_) settings_ = Ref<Settings>::adopt(new Settings());
	return settings_.get();
}

bool WebView::messages_enabled() { return settings()->value(Settings::WebMessage); }

HRESULT WebView::get_Settings(ICoreWebView2Settings** settings_out) {
	if (HRESULT hr = call("get_Settings"); FAILED(hr)) return hr;
	if (settings_out == nullptr) return E_POINTER;
	*settings_out = Ref<Settings>::share(settings()).detach();
	return S_OK;
}

HRESULT WebView::get_Source(LPWSTR* uri) {
	if (HRESULT hr = call("get_Source"); FAILED(hr)) return hr;
	return hand_out(document_.source, uri);
}

HRESULT WebView::Navigate(LPCWSTR uri) {
	if (HRESULT hr = call("Navigate", logged(uri)); FAILED(hr)) return hr;
	// Any text is taken and recorded, a plain file path too; only a null one is refused.
	if (uri == nullptr) return E_INVALIDARG;
	start_navigation(uri, false);
	return S_OK;
}

HRESULT WebView::NavigateToString(LPCWSTR htmlContent) {
	if (HRESULT hr = call("NavigateToString", logged(htmlContent)); FAILED(hr)) return hr;
	if (htmlContent == nullptr || wcslen(htmlContent) * sizeof(wchar_t) > max_string_content_bytes) return E_INVALIDARG;
	start_navigation(L"about:blank", true);
	return S_OK;
}

void WebView::start_navigation(std::wstring source, bool from_string, NavigationCause cause) {
	Engine& engine = Engine::get();
	std::vector<ScriptCall> scripts;
	if (pending_) {
		// A new navigation cancels the one in progress; scripts waiting for its document wait for the
		// new one instead.
		scripts = std::move(pending_->scripts);
		uint64_t cancelled = pending_->id;
		engine.post([this, cancelled] {
			if (Engine::get().webview_open(this)) complete_navigation(cancelled, false, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
		});
	}
	uint64_t id = engine.next_navigation_id();
	pending_ = PendingNavigation{id, std::move(source), from_string, std::move(scripts), cause};
	engine.post([this, id] {
		if (Engine::get().webview_open(this)) begin_navigation(id);
	});
}

void WebView::begin_navigation(uint64_t id) {
	if (!pending_ || pending_->id != id) return;
	auto self = Ref<WebView>::share(this);
	if (!starting_handlers_.empty()) {
		Engine::get().record_event("NavigationStarting id=" + std::to_string(id) + " " + logged(pending_->source));
		auto args = Ref<NavigationStartingEventArgs>::adopt(new NavigationStartingEventArgs(pending_->source, pending_->cause.user_initiated, id));
		for_each_registered(starting_handlers_, [&](ICoreWebView2NavigationStartingEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		// Cancel is read as the last handler returns; there is no deferral.
		bool cancelled = false;
		args->decision().handlers_returned([&] { cancelled = args->cancelled(); });
		// A handler may have started another navigation, or closed the view.
		if (closed_ || !pending_ || pending_->id != id) return;
		if (cancelled) {
			cancel_navigation();
			return;
		}
	}
	if (Engine::get().navigation_mode(pending_->source) == NavigationMode::NeverAnswers && !pending_->from_string) {
		Engine::get().record_event("navigation id=" + std::to_string(id) + " waits for an answer");
		return;
	}
	commit_navigation(id);
}

void WebView::cancel_navigation() {
	if (!pending_) return;
	PendingNavigation navigation = std::move(*pending_);
	pending_.reset();
	Engine::get().record_event("navigation id=" + std::to_string(navigation.id) + " cancelled; the document stays");
	for (auto& script_call : navigation.scripts) run_now(std::move(script_call));
	uint64_t id = navigation.id;
	Engine::get().post([this, id] {
		if (Engine::get().webview_open(this)) complete_navigation(id, false, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
	});
}

void WebView::commit_navigation(uint64_t id) {
	if (!pending_ || pending_->id != id) return;
	auto self = Ref<WebView>::share(this);
	PendingNavigation navigation = std::move(*pending_);
	pending_.reset();

	COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
	bool success = navigation.from_string || navigation_succeeds(navigation.source, &status);
	// A failed navigation still makes a document: the error page, or a blank one when the error page
	// is off, where the page's scripts do not run.
	document_ = Document{navigation.source};
	const char* failed_page = settings()->value(Settings::BuiltInErrorPage) ? " (error page)" : " (blank page)";
	Engine::get().record_event("document " + logged(navigation.source) + (success ? "" : failed_page));
	if (success) {
		auto scripts = document_scripts_;
		for (auto& script : scripts) run_in_document(script.second);
	}
	for (auto& script_call : navigation.scripts) run_now(std::move(script_call));
	Engine::get().post([this, id, success, status] {
		if (Engine::get().webview_open(this)) complete_navigation(id, success, status);
	});
}

void WebView::complete_navigation(uint64_t id, bool success, COREWEBVIEW2_WEB_ERROR_STATUS status) {
	auto self = Ref<WebView>::share(this);
	Engine::get().record_event("NavigationCompleted id=" + std::to_string(id) + " success=" + std::to_string(success) +
	    " status=" + std::to_string(status));
	auto args = Ref<NavigationCompletedEventArgs>::adopt(new NavigationCompletedEventArgs(success, status, id));
	for_each_registered(navigation_handlers_, [&](ICoreWebView2NavigationCompletedEventHandler* handler) {
		if (!closed_) handler->Invoke(this, args.get());
	});
	bool web_page = document_.source.starts_with(L"http://") || document_.source.starts_with(L"https://");
	if (success && web_page && !closed_) run_environment_page_actions();
}

void WebView::run_now(ScriptCall script_call) {
	ScriptRun run;
	// A completion made to fail stands for a script that never ran.
	if (SUCCEEDED(script_call.completion)) run = run_in_document(script_call.script);
	HRESULT hr = script_call.completion;
	if (script_call.handler) {
		Engine::get().post([this, handler = std::move(script_call.handler), hr, result = run.execute_script_json()] {
			if (!Engine::get().webview_open(this)) return;
			auto self = Ref<WebView>::share(this);
			Engine::get().record_event("ExecuteScript completed " + hex(hr) + (FAILED(hr) ? "" : " " + logged(result)));
			handler->Invoke(hr, FAILED(hr) ? nullptr : result.c_str());
		});
	}
	if (script_call.result_handler) {
		Engine::get().post([this, handler = std::move(script_call.result_handler), hr, run = std::move(run)] {
			if (!Engine::get().webview_open(this)) return;
			auto self = Ref<WebView>::share(this);
			std::string outcome = run.thrown ? " threw " + logged(run.exception_json()) : " " + logged(run.result_as_json());
			Engine::get().record_event("ExecuteScriptWithResult completed " + hex(hr) + (FAILED(hr) ? "" : outcome));
			auto result = FAILED(hr) ? Ref<ExecuteScriptResult>() : Ref<ExecuteScriptResult>::adopt(new ExecuteScriptResult(run));
			handler->Invoke(hr, result.get());
		});
	}
}

ScriptRun WebView::run_in_document(const std::wstring& script) {
	ScriptRun run = run_script(script, document_.bridge, messages_enabled());
	if (run.defines_bridge) document_.bridge = true;
	for (auto& message : run.messages) deliver_message(message, document_.source);
	if (run.thrown) Engine::get().record_event("script threw");
	return run;
}

void WebView::deliver_message(std::wstring json, std::wstring source) {
	Engine::get().post([this, json = std::move(json), source = std::move(source)] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		Engine::get().record_event("WebMessageReceived " + logged(json));
		auto args = Ref<WebMessageReceivedEventArgs>::adopt(new WebMessageReceivedEventArgs(json, source));
		for_each_registered(message_handlers_, [&](ICoreWebView2WebMessageReceivedEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
	});
}

HRESULT WebView::ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) {
	if (HRESULT hr = call("ExecuteScript", logged(javaScript)); FAILED(hr)) return hr;
	if (javaScript == nullptr) return E_INVALIDARG;
	ScriptCall script_call{javaScript, {}, {}, Engine::get().failure("ExecuteScript.completion")};
	if (handler != nullptr) {
		script_call.handler = query_handler(handler, IID_ICoreWebView2ExecuteScriptCompletedHandler, "the ExecuteScript completion handler");
		if (!script_call.handler) return E_NOINTERFACE;
	}
	return queue_script(std::move(script_call));
}

HRESULT WebView::ExecuteScriptWithResult(LPCWSTR javaScript, ICoreWebView2ExecuteScriptWithResultCompletedHandler* handler) {
	if (HRESULT hr = call("ExecuteScriptWithResult", logged(javaScript)); FAILED(hr)) return hr;
	if (javaScript == nullptr) return E_INVALIDARG;
	ScriptCall script_call{javaScript, {}, {}, Engine::get().failure("ExecuteScriptWithResult.completion")};
	if (handler != nullptr) {
		script_call.result_handler =
		    query_handler(handler, IID_ICoreWebView2ExecuteScriptWithResultCompletedHandler, "the ExecuteScriptWithResult completion handler");
		if (!script_call.result_handler) return E_NOINTERFACE;
	}
	return queue_script(std::move(script_call));
}

HRESULT WebView::queue_script(ScriptCall script_call) {
	if (pending_) {
		pending_->scripts.push_back(std::move(script_call));
	} else {
		run_now(std::move(script_call));
	}
	return S_OK;
}

HRESULT WebView::AddScriptToExecuteOnDocumentCreated(LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) {
	if (HRESULT hr = call("AddScriptToExecuteOnDocumentCreated", logged(javaScript)); FAILED(hr)) return hr;
	if (javaScript == nullptr) return E_INVALIDARG;
	Ref<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> completed;
	if (handler != nullptr) {
		completed = query_handler(handler, IID_ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
		    "the AddScriptToExecuteOnDocumentCreated completion handler");
		if (!completed) return E_NOINTERFACE;
	}
	Engine& engine = Engine::get();
	HRESULT hr = engine.failure("AddScriptToExecuteOnDocumentCreated.completion");
	std::wstring id;
	if (SUCCEEDED(hr)) {
		id = std::to_wstring(engine.next_script_id());
		document_scripts_.emplace_back(id, javaScript);
	}
	if (completed) {
		engine.post([this, completed, hr, id] {
			if (!Engine::get().webview_open(this)) return;
			auto self = Ref<WebView>::share(this);
			Engine::get().record_event("AddScriptToExecuteOnDocumentCreated completed " + hex(hr) + (FAILED(hr) ? "" : " " + logged(id)));
			completed->Invoke(hr, FAILED(hr) ? nullptr : id.c_str());
		});
	}
	return S_OK;
}

HRESULT WebView::RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) {
	if (HRESULT hr = call("RemoveScriptToExecuteOnDocumentCreated", logged(id)); FAILED(hr)) return hr;
	if (id == nullptr) return E_INVALIDARG;
	std::erase_if(document_scripts_, [&](auto& script) { return script.first == id; });
	return S_OK;
}

HRESULT WebView::add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_NavigationCompleted"); FAILED(hr)) return hr;
	if (eventHandler == nullptr) return E_INVALIDARG;
	if (token == nullptr) return E_POINTER;
	auto handler = query_handler(eventHandler, IID_ICoreWebView2NavigationCompletedEventHandler, "the NavigationCompleted handler");
	if (!handler) return E_NOINTERFACE;
	token->value = Engine::get().next_token();
	navigation_handlers_.push_back({token->value, std::move(handler)});
	return S_OK;
}

HRESULT WebView::remove_NavigationCompleted(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_NavigationCompleted"); FAILED(hr)) return hr;
	unregister(navigation_handlers_, token.value);
	return S_OK;
}

HRESULT WebView::add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_WebMessageReceived"); FAILED(hr)) return hr;
	if (eventHandler == nullptr) return E_INVALIDARG;
	if (token == nullptr) return E_POINTER;
	auto handler = query_handler(eventHandler, IID_ICoreWebView2WebMessageReceivedEventHandler, "the WebMessageReceived handler");
	if (!handler) return E_NOINTERFACE;
	token->value = Engine::get().next_token();
	message_handlers_.push_back({token->value, std::move(handler)});
	return S_OK;
}

HRESULT WebView::remove_WebMessageReceived(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_WebMessageReceived"); FAILED(hr)) return hr;
	unregister(message_handlers_, token.value);
	return S_OK;
}

void WebView::page_navigate(std::wstring url, NavigationCause cause) {
	Engine::get().record_event("page navigates to " + logged(url));
	start_navigation(std::move(url), false, cause);
}

void WebView::page_run_script(std::wstring_view script) {
	Engine::get().record_event("page runs " + logged(script));
	run_in_document(std::wstring(script));
}

bool WebView::page_post_message(std::wstring json) {
	if (!messages_enabled()) return false;
	deliver_message(std::move(json), document_.source);
	return true;
}

} // namespace standin
