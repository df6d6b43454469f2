// The program's notification handler over ICoreWebView2_24's NotificationReceived: Handled, so the
// engine shows nothing of its own; the reports are ReportShown, ReportClicked and ReportClosed, and
// the notification's CloseRequested is the page closing it. Where the runtime lacks the interface,
// notifications are denied to every page (permissions.cpp) and this is said once.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/browser_window/edge2/webview2_abi_page_desktop.hpp"
#include "core/browser_window/message_delivery.hpp"

#include <wrl/client.h>

#include <atomic>
#include <cstdio>

namespace bw::edge2 {

namespace {

using Microsoft::WRL::ComPtr;

template <class Getter>
std::string text_of(ICoreWebView2Notification* notification, Getter getter) {
	LPWSTR value = nullptr;
	HRESULT hr = (notification->*getter)(&value);
	return take_engine_text(hr, value).value_or(std::string());
}

class CloseRequested final : public ComHandler<ICoreWebView2NotificationCloseRequestedEventHandler, IID_ICoreWebView2NotificationCloseRequestedEventHandler> {
public:
	explicit CloseRequested(std::weak_ptr<PageNotification> page) : page_(std::move(page)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2Notification*, IUnknown*) override {
		KeepAlive keep(this);
		if (auto page = page_.lock()) page->_page_closed();
		return S_OK;
	}

private:
	~CloseRequested() override = default;
	std::weak_ptr<PageNotification> page_;
};

class NotificationReceived final : public ComHandler<ICoreWebView2NotificationReceivedEventHandler, IID_ICoreWebView2NotificationReceivedEventHandler> {
public:
	NotificationReceived(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2NotificationReceivedEventArgs* args) override {
		KeepAlive keep(this);
		ComPtr<ICoreWebView2Notification> notification;
		if (!liveness_->alive || args == nullptr || FAILED(args->get_Notification(notification.GetAddressOf())) || !notification) return S_OK;
		// Before any report: the engine refuses reports on a notification not handled.
		args->put_Handled(TRUE);
		LPWSTR origin = nullptr;
		HRESULT hr = args->get_SenderOrigin(&origin);
		BOOL silent = FALSE;
		if (FAILED(notification->get_IsSilent(&silent))) silent = FALSE;
		NotificationContent content{origin_of(take_engine_text(hr, origin).value_or(std::string())),
		                            text_of(notification.Get(), &ICoreWebView2Notification::get_Title),
		                            text_of(notification.Get(), &ICoreWebView2Notification::get_Body),
		                            text_of(notification.Get(), &ICoreWebView2Notification::get_Tag), silent != FALSE};
		auto report = [notification, liveness = liveness_](HRESULT (STDMETHODCALLTYPE ICoreWebView2Notification::*call)()) {
			return [notification, liveness, call] {
				if (liveness->alive) (notification.Get()->*call)();
			};
		};
		auto page = std::make_shared<PageNotification>(std::move(content), PageNotification::Engine{report(&ICoreWebView2Notification::ReportShown),
		                                                                                          report(&ICoreWebView2Notification::ReportClicked),
		                                                                                          report(&ICoreWebView2Notification::ReportClosed)});
		EventRegistrationToken token{};
		auto* closing = new CloseRequested(page);
		notification->add_CloseRequested(closing, &token);
		closing->Release();
		liveness_->capabilities->notifications(BrowserWindowHandle(record_), page);
		return S_OK;
	}

private:
	~NotificationReceived() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_notifications(const ViewParts& view) {
	if (!view.capabilities().notifications) return;
	ComPtr<ICoreWebView2_24> webview;
	EventRegistrationToken token{};
	HRESULT hr = view.webview->QueryInterface(IID_ICoreWebView2_24, reinterpret_cast<void**>(webview.GetAddressOf()));
	if (SUCCEEDED(hr)) {
		auto* received = new NotificationReceived(view.record, view.liveness);
		hr = webview->add_NotificationReceived(received, &token);
		received->Release();
	}
	if (SUCCEEDED(hr)) return;
	view.liveness->notifications_unsupported = true;
	static std::atomic<bool> said{false};
	if (!said.exchange(true))
		std::fprintf(stderr, "the WebView2 runtime cannot hand page notifications to the program (%s): notifications are denied\n",
		             hresult_summary(hr).c_str());
}

} // namespace bw::edge2
