// The program's navigation policy over the engine's NavigationStarting, which is raised for the
// top-level document only (frames have an event of their own), and NewWindowRequested.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/creation_failure.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/browser_window/message_delivery.hpp"

#include <algorithm>

namespace bw::edge2 {

namespace {

bool away_from_home(const PageCapabilities& capabilities, const std::string& url) {
	if (capabilities.home_origins.empty() || (url.rfind("http:", 0) != 0 && url.rfind("https:", 0) != 0)) return false;
	const HomeOrigins& home = capabilities.home_origins;
	return std::find(home.begin(), home.end(), origin_of(url)) == home.end();
}

template <class Args>
bool user_initiated(Args* args) {
	BOOL user = FALSE;
	return SUCCEEDED(args->get_IsUserInitiated(&user)) && user;
}

class NavigationStarting final : public ComHandler<ICoreWebView2NavigationStartingEventHandler, IID_ICoreWebView2NavigationStartingEventHandler> {
public:
	NavigationStarting(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	// The engine reads Cancel once the handlers have returned: the decision is made here or never.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive || args == nullptr) return S_OK;
		LPWSTR uri = nullptr;
		HRESULT hr = args->get_Uri(&uri);
		std::optional<std::string> url = take_engine_text(hr, uri);
		// A policy cannot let through an address it was not shown.
		if (!url) return args->put_Cancel(TRUE);
		NavigationRequest request{std::move(*url), false, user_initiated(args)};
		std::shared_ptr<const PageCapabilities> capabilities = liveness_->capabilities;
		bool denied = capabilities->navigation_policy(BrowserWindowHandle(record_), request) == NavigationDecision::Deny;
		// Kept home whatever the answer, as on WebKitGTK, where the engine stops such a navigation.
		if (denied || away_from_home(*capabilities, request.url)) args->put_Cancel(TRUE);
		return S_OK;
	}

private:
	~NavigationStarting() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

class NewWindowRequested final : public ComHandler<ICoreWebView2NewWindowRequestedEventHandler, IID_ICoreWebView2NewWindowRequestedEventHandler> {
public:
	NewWindowRequested(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive || args == nullptr) return S_OK;
		// First, whatever follows: with neither Handled nor NewWindow set the engine opens a popup
		// window of its own, out of the program's reach.
		args->put_Handled(TRUE);
		LPWSTR uri = nullptr;
		HRESULT hr = args->get_Uri(&uri);
		std::wstring target = SUCCEEDED(hr) && uri != nullptr ? std::wstring(uri) : std::wstring();
		std::optional<std::string> url = take_engine_text(hr, uri);
		if (!url) return S_OK;
		NavigationRequest request{std::move(*url), true, user_initiated(args)};
		if (liveness_->capabilities->navigation_policy(BrowserWindowHandle(record_), request) != NavigationDecision::Allow) return S_OK;
		// The policy may have freed the window.
		ICoreWebView2* webview = liveness_->alive ? webview_of(record_) : nullptr;
		if (webview != nullptr) webview->Navigate(target.c_str());
		return S_OK;
	}

private:
	~NewWindowRequested() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_navigation_policy(const ViewParts& view) {
	if (!view.capabilities().navigation_policy) return;
	// The tokens are not kept: the handlers go with the view, and do nothing once the window is freed.
	// A window whose policy the engine would not take is not made: its pages would go unchecked.
	EventRegistrationToken token{};
	auto* starting = new NavigationStarting(view.record, view.liveness);
	HRESULT hr = view.webview->add_NavigationStarting(starting, &token);
	starting->Release();
	if (FAILED(hr)) creation_failure("unable to install the navigation policy", hr);
	auto* new_window = new NewWindowRequested(view.record, view.liveness);
	hr = view.webview->add_NewWindowRequested(new_window, &token);
	new_window->Release();
	if (FAILED(hr)) creation_failure("unable to install the navigation policy", hr);
}

} // namespace bw::edge2
