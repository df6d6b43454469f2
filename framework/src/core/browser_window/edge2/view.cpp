// The view of a ready browser window: navigation, reloading, its address, its size and its release.
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/liveness.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"

#include <bw/window_win32.h>
#include <wrl/client.h>

namespace bw {

namespace {

const HRESULT no_view = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

} // namespace

Result<std::monostate> BrowserWindowImpl::navigate(std::string_view url) const {
	ICoreWebView2* webview = edge2::webview_of(inner_);
	std::wstring text;
	HRESULT hr = webview == nullptr ? no_view : edge2::to_engine_text(url, text);
	if (SUCCEEDED(hr)) hr = webview->Navigate(text.c_str());
	if (FAILED(hr)) return edge2::hresult_error(hr);
	return std::monostate();
}

std::string BrowserWindowImpl::url() const {
	ICoreWebView2* webview = edge2::webview_of(inner_);
	if (webview == nullptr) return {};
	LPWSTR source = nullptr;
	HRESULT hr = webview->get_Source(&source);
	std::string text;
	if (SUCCEEDED(hr)) hr = edge2::from_engine_text(source, text);
	CoTaskMemFree(source);
	return SUCCEEDED(hr) ? text : std::string();
}

void BrowserWindowImpl::reload() const {
	// Like navigating to the current address again: the navigation events come too.
	if (ICoreWebView2* webview = edge2::webview_of(inner_)) webview->Reload();
}

// The engine's find interface is not released: its own Ctrl+F bar is the user's.
bool BrowserWindowImpl::find(std::string_view) const { return false; }

// ShowPrintUI needs ICoreWebView2_16; an older runtime has only the page's window.print() and Ctrl+P.
void BrowserWindowImpl::print() const {
	ICoreWebView2* webview = edge2::webview_of(inner_);
	Microsoft::WRL::ComPtr<ICoreWebView2_16> printing;
	if (webview != nullptr && SUCCEEDED(webview->QueryInterface(IID_ICoreWebView2_16, reinterpret_cast<void**>(printing.GetAddressOf()))) && printing)
		printing->ShowPrintUI(COREWEBVIEW2_PRINT_DIALOG_KIND_SYSTEM);
}

bool BrowserWindowImpl::source_loaded() const { return !edge2::liveness_of(inner_)->source_failed; }

void BrowserWindowImpl::free() const {
	// Late completions and dispatched calls must not reach the record from here on.
	edge2::liveness_end(inner_);
	edge2::stop_first_navigation_limit(inner_);
	// Dropping the last reference to the controller closes the view and drops its handlers.
	edge2::release_slot<ICoreWebView2Controller>(inner_->impl_.controller);
	edge2::release_slot<ICoreWebView2>(inner_->impl_.webview);
}

} // namespace bw

extern "C" void bw_WindowWin32_onResize(bw_Window* window, int left, int right, int top, int bottom) {
	bw_BrowserWindow* browser = bw_Window_getBrowser(window);
	if (browser == nullptr) return;
	ICoreWebView2Controller* controller = bw::edge2::controller_of(browser);
	if (controller == nullptr) return;
	controller->put_Bounds(RECT{left, top, right, bottom});
}
