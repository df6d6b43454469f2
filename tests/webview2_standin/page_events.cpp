// The webview's events a program can answer or act on: NavigationStarting's registration, new
// windows, downloads, process failures, Reload and Stop, and the page-side actions that raise them.
#include "objects.hpp"
#include "registrations.hpp"
#include "text.hpp"

namespace standin {

HRESULT WebView::add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_NavigationStarting"); FAILED(hr)) return hr;
	return add_registration(starting_handlers_, eventHandler, IID_ICoreWebView2NavigationStartingEventHandler, "the NavigationStarting handler", token);
}

HRESULT WebView::remove_NavigationStarting(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_NavigationStarting"); FAILED(hr)) return hr;
	unregister(starting_handlers_, token.value);
	return S_OK;
}

HRESULT WebView::add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_NewWindowRequested"); FAILED(hr)) return hr;
	return add_registration(new_window_handlers_, eventHandler, IID_ICoreWebView2NewWindowRequestedEventHandler, "the NewWindowRequested handler", token);
}

HRESULT WebView::remove_NewWindowRequested(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_NewWindowRequested"); FAILED(hr)) return hr;
	unregister(new_window_handlers_, token.value);
	return S_OK;
}

HRESULT WebView::add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_ProcessFailed"); FAILED(hr)) return hr;
	return add_registration(failure_handlers_, eventHandler, IID_ICoreWebView2ProcessFailedEventHandler, "the ProcessFailed handler", token);
}

HRESULT WebView::remove_ProcessFailed(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_ProcessFailed"); FAILED(hr)) return hr;
	unregister(failure_handlers_, token.value);
	return S_OK;
}

HRESULT WebView::add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_DownloadStarting"); FAILED(hr)) return hr;
	return add_registration(download_handlers_, eventHandler, IID_ICoreWebView2DownloadStartingEventHandler, "the DownloadStarting handler", token);
}

HRESULT WebView::remove_DownloadStarting(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_DownloadStarting"); FAILED(hr)) return hr;
	unregister(download_handlers_, token.value);
	return S_OK;
}

// Like navigating to the current address: every navigation event, history unchanged. It brings back
// a page whose process ended.
HRESULT WebView::Reload() {
	if (HRESULT hr = call("Reload"); FAILED(hr)) return hr;
	start_navigation(document_.source, false);
	return S_OK;
}

// The navigation in progress ends as cancelled; the document stays.
HRESULT WebView::Stop() {
	if (HRESULT hr = call("Stop"); FAILED(hr)) return hr;
	cancel_navigation();
	return S_OK;
}

// With neither NewWindow nor Handled set, the engine opens a popup window of its own; with Handled
// alone the opener gets a window object that loads nothing.
void WebView::page_open_window(std::wstring url, bool user_initiated) {
	Engine::get().record_event("page asks for a new window " + logged(url));
	Engine::get().post([this, url = std::move(url), user_initiated] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		Engine::get().record_event("NewWindowRequested " + logged(url));
		auto args = Ref<NewWindowRequestedEventArgs>::adopt(new NewWindowRequestedEventArgs(url, user_initiated));
		for_each_registered(new_window_handlers_, [&](ICoreWebView2NewWindowRequestedEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		args->decision().handlers_returned([args, url] {
			if (args->has_new_window()) {
				Engine::get().record_event("new window content goes to the given webview");
			} else if (args->handled()) {
				Engine::get().record_event("no window opens for " + logged(url));
			} else {
				Engine::get().record_event("engine popup opens " + logged(url));
			}
		});
	});
}

void WebView::page_download(DownloadSpec spec) {
	Engine::get().record_event("page downloads " + logged(spec.url));
	Engine::get().post([this, spec = std::move(spec)] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		std::wstring path = default_download_path(spec);
		auto operation = Ref<DownloadOperation>::adopt(new DownloadOperation(spec, path));
		auto args = Ref<DownloadStartingEventArgs>::adopt(new DownloadStartingEventArgs(operation, path));
		Engine::get().record_event("DownloadStarting " + logged(spec.url));
		for_each_registered(download_handlers_, [&](ICoreWebView2DownloadStartingEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		// The transfer goes on whatever the handlers do; the dialog waits for them.
		args->decision().handlers_returned([args, operation] {
			if (!args->cancelled() && !args->handled()) Engine::get().record_event("default download dialog shown");
			operation->start(args->cancelled(), args->path());
		});
	});
}

void WebView::page_process_failed(COREWEBVIEW2_PROCESS_FAILED_KIND kind, COREWEBVIEW2_PROCESS_FAILED_REASON reason, int exit_code) {
	Engine::get().post([this, kind, reason, exit_code] {
		if (!Engine::get().webview_open(this)) return;
		auto self = Ref<WebView>::share(this);
		bool unresponsive = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE;
		if (kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED) {
			// A new page process shows an error page (blank when the error page is off) until Reload.
			pending_.reset();
			document_ = Document{document_.source};
			Engine::get().record_event("document " + logged(document_.source) +
			    (settings()->value(Settings::BuiltInErrorPage) ? " (error page: the page's process ended)" : " (blank page)"));
		}
		Engine::get().record_event("ProcessFailed kind=" + std::to_string(kind));
		// An unresponsive process still runs.
		auto args = Ref<ProcessFailedEventArgs>::adopt(new ProcessFailedEventArgs(kind, unresponsive ? COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE : reason,
		    unresponsive ? STILL_ACTIVE : exit_code, kind == COREWEBVIEW2_PROCESS_FAILED_KIND_GPU_PROCESS_EXITED ? L"GPU" : L""));
		for_each_registered(failure_handlers_, [&](ICoreWebView2ProcessFailedEventHandler* handler) {
			if (!closed_) handler->Invoke(this, args.get());
		});
		// Without its browser process the view is closed for good.
		if (kind == COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED) close();
	});
}

} // namespace standin
