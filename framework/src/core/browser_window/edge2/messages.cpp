// Messages the page posts with invoke_extern, delivered to the handler the program registered.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/message_delivery.hpp"

namespace bw {

namespace {

class WebMessageReceived final
    : public edge2::ComHandler<ICoreWebView2WebMessageReceivedEventHandler, IID_ICoreWebView2WebMessageReceivedEventHandler> {
public:
	WebMessageReceived(std::weak_ptr<BrowserWindowOwner> owner, std::shared_ptr<EventHandler> handler)
	    : owner_(std::move(owner)), handler_(std::move(handler)) {}

	// sender and args are only lent. A message that cannot be read is ignored on its own.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) override {
		edge2::KeepAlive keep(this);
		if (owner_.expired() || args == nullptr) return S_OK;
		LPWSTR json = nullptr;
		HRESULT hr = args->get_WebMessageAsJson(&json);
		std::optional<std::string> text = edge2::take_engine_text(hr, json);
		if (!text) return S_OK;
		// The address of the document that posted it; a program that checks it sees an unknown one
		// as such.
		LPWSTR source = nullptr;
		hr = args->get_Source(&source);
		deliver_message_json(owner_, *handler_, *text, edge2::take_engine_text(hr, source).value_or(std::string()));
		return S_OK;
	}

private:
	~WebMessageReceived() override = default;

	std::weak_ptr<BrowserWindowOwner> owner_;
	std::shared_ptr<EventHandler> handler_;
};

} // namespace

void BrowserWindowImpl::register_message_handler(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	ICoreWebView2* webview = edge2::webview_of(strong->handle().inner().inner());
	if (webview == nullptr) return;
	auto* received = new WebMessageReceived(owner, std::move(handler));
	// The token is not kept: the handler goes with the view. A failed registration installs nothing.
	EventRegistrationToken token{};
	webview->add_WebMessageReceived(received, &token);
	received->Release();
}

} // namespace bw
