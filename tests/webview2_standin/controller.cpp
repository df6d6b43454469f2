// The controller: the engine's view inside the caller's window, and the owner of the webview.
#include "objects.hpp"
#include "text.hpp"

namespace standin {

Controller::Controller(Ref<Environment> environment, HWND parent)
    : ComObject("Controller"), environment_(std::move(environment)), webview_(Ref<WebView>::adopt(new WebView())), parent_(parent) {
	create_host_window(parent, &host_);
}

HRESULT Controller::call(const char* method, std::optional<std::string> arguments) {
	if (HRESULT hr = enter(method); FAILED(hr)) return hr;
	Engine& engine = Engine::get();
	engine.record_call(arguments ? std::string(method) + "(" + *arguments + ")" : std::string(method));
	if (closed_) return closed_error;
	return engine.failure(method);
}

HRESULT Controller::unmodelled(const char* method) {
	HRESULT hr = call(method);
	return FAILED(hr) ? hr : not_modelled;
}

void Controller::close() {
	if (closed_) return;
	closed_ = true;
	webview_->close();
	// The window clears host_ as it goes.
	if (host_ != nullptr) DestroyWindow(host_);
}

// Releasing the last reference closes the view, as the engine does.
void Controller::on_final_release() {
	close();
	webview_.reset();
	environment_.reset();
}

HRESULT Controller::get_IsVisible(BOOL* isVisible) {
	if (HRESULT hr = call("get_IsVisible"); FAILED(hr)) return hr;
	if (isVisible == nullptr) return E_POINTER;
	*isVisible = visible_;
	return S_OK;
}

HRESULT Controller::put_IsVisible(BOOL isVisible) {
	if (HRESULT hr = call("put_IsVisible", std::to_string(isVisible)); FAILED(hr)) return hr;
	visible_ = isVisible ? TRUE : FALSE;
	if (host_ != nullptr) ShowWindow(host_, visible_ ? SW_SHOWNA : SW_HIDE);
	return S_OK;
}

HRESULT Controller::get_Bounds(RECT* bounds) {
	if (HRESULT hr = call("get_Bounds"); FAILED(hr)) return hr;
	if (bounds == nullptr) return E_POINTER;
	*bounds = bounds_;
	return S_OK;
}

HRESULT Controller::put_Bounds(RECT bounds) {
	std::string rect = std::to_string(bounds.left) + "," + std::to_string(bounds.top) + "," + std::to_string(bounds.right) + "," +
	    std::to_string(bounds.bottom);
	if (HRESULT hr = call("put_Bounds", rect); FAILED(hr)) return hr;
	bounds_ = bounds;
	if (host_ != nullptr) {
		MoveWindow(host_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, FALSE);
	}
	return S_OK;
}

HRESULT Controller::get_ParentWindow(HWND* parentWindow) {
	if (HRESULT hr = call("get_ParentWindow"); FAILED(hr)) return hr;
	if (parentWindow == nullptr) return E_POINTER;
	*parentWindow = parent_;
	return S_OK;
}

HRESULT Controller::put_ParentWindow(HWND parentWindow) {
	if (HRESULT hr = call("put_ParentWindow", parentWindow == nullptr ? "null" : IsWindow(parentWindow) ? "window" : "not a window");
	    FAILED(hr)) {
		return hr;
	}
	if (!IsWindow(parentWindow)) return E_INVALIDARG;
	parent_ = parentWindow;
	if (host_ != nullptr) SetParent(host_, parentWindow);
	return S_OK;
}

HRESULT Controller::Close() {
	if (HRESULT hr = enter("Close"); FAILED(hr)) return hr;
	Engine::get().record_call("Close");
	close();
	return S_OK;
}

HRESULT Controller::get_CoreWebView2(ICoreWebView2** coreWebView2) {
	if (HRESULT hr = call("get_CoreWebView2"); FAILED(hr)) return hr;
	if (coreWebView2 == nullptr) return E_POINTER;
	*coreWebView2 = Ref<WebView>(webview_).detach();
	return S_OK;
}

} // namespace standin
