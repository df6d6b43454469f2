// The starts and ends of the top-level document's navigations, told to the program: the engine's
// NavigationStarting and NavigationCompleted, which are raised for the top-level document only.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"

namespace bw::edge2 {

namespace {

class LoadStarting final : public ComHandler<ICoreWebView2NavigationStartingEventHandler, IID_ICoreWebView2NavigationStartingEventHandler> {
public:
	LoadStarting(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive || args == nullptr) return S_OK;
		LPWSTR uri = nullptr;
		HRESULT hr = args->get_Uri(&uri);
		LoadEvent event{LoadEvent::Kind::Started, take_engine_text(hr, uri).value_or(""), false};
		liveness_->capabilities->loads(BrowserWindowHandle(record_), event);
		return S_OK;
	}

private:
	~LoadStarting() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

class LoadCompleted final : public ComHandler<ICoreWebView2NavigationCompletedEventHandler, IID_ICoreWebView2NavigationCompletedEventHandler> {
public:
	LoadCompleted(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive) return S_OK;
		BOOL success = FALSE;
		if (args != nullptr && FAILED(args->get_IsSuccess(&success))) success = FALSE;
		LPWSTR source = nullptr;
		std::optional<std::string> url;
		if (sender != nullptr) {
			HRESULT hr = sender->get_Source(&source);
			url = take_engine_text(hr, source);
		}
		LoadEvent event{LoadEvent::Kind::Finished, url.value_or(""), success == TRUE};
		liveness_->capabilities->loads(BrowserWindowHandle(record_), event);
		return S_OK;
	}

private:
	~LoadCompleted() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_load_events(const ViewParts& view) {
	if (!view.capabilities().loads) return;
	// The tokens are not kept: the handlers go with the view, and do nothing once the window is freed.
	EventRegistrationToken token{};
	auto* starting = new LoadStarting(view.record, view.liveness);
	view.webview->add_NavigationStarting(starting, &token);
	starting->Release();
	auto* completed = new LoadCompleted(view.record, view.liveness);
	view.webview->add_NavigationCompleted(completed, &token);
	completed->Release();
}

} // namespace bw::edge2
