// The controller: the engine's view inside the caller's window, and the owner of the webview.
#include "objects.hpp"
#include "text.hpp"

#include <algorithm>

namespace standin {

Controller::Controller(Ref<Environment> environment, HWND parent, std::optional<COREWEBVIEW2_COLOR> background)
    : ComObject("Controller"), environment_(std::move(environment)), webview_(Ref<WebView>::adopt(new WebView())), parent_(parent) {
	create_host_window(parent, &host_);
	webview_->attach(this);
	if (background) background_ = *background;
}

HRESULT Controller::QueryInterface(REFIID iid, void** out) {
	if (out != nullptr && IsEqualIID(iid, IID_ICoreWebView2Controller)) {
		*out = static_cast<ICoreWebView2Controller*>(this);
		AddRef();
		return S_OK;
	}
	if (IsEqualIID(iid, IID_ICoreWebView2Controller2)) {
		Engine::get().record_call("QueryInterface(ICoreWebView2Controller2)");
		if (HRESULT hr = Engine::get().failure("QueryInterface.ICoreWebView2Controller2"); FAILED(hr)) {
			if (out != nullptr) *out = nullptr;
			return hr;
		}
	}
	return ComObject::QueryInterface(iid, out);
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
	webview_->attach(nullptr);
	webview_->close();
	// Handlers are released after they have left the object.
	auto zoom_handlers = std::move(zoom_handlers_);
	zoom_handlers_.clear();
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

HRESULT Controller::get_ZoomFactor(double* zoomFactor) {
	if (HRESULT hr = call("get_ZoomFactor"); FAILED(hr)) return hr;
	if (zoomFactor == nullptr) return E_POINTER;
	*zoomFactor = zoom_;
	return S_OK;
}

// Set through the property, the factor changes at once and ZoomFactorChanged is not raised (the
// engine's documentation); factors outside 0.25 to 5 are brought within.
HRESULT Controller::put_ZoomFactor(double zoomFactor) {
	if (HRESULT hr = call("put_ZoomFactor", std::to_string(zoomFactor)); FAILED(hr)) return hr;
	if (!(zoomFactor > 0)) return E_INVALIDARG;
	zoom_ = std::clamp(zoomFactor, 0.25, 5.0);
	return S_OK;
}

HRESULT Controller::add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* eventHandler, EventRegistrationToken* token) {
	if (HRESULT hr = call("add_ZoomFactorChanged"); FAILED(hr)) return hr;
	if (eventHandler == nullptr) return E_INVALIDARG;
	if (token == nullptr) return E_POINTER;
	auto handler = query_handler(eventHandler, IID_ICoreWebView2ZoomFactorChangedEventHandler, "the ZoomFactorChanged handler");
	if (!handler) return E_NOINTERFACE;
	token->value = Engine::get().next_token();
	zoom_handlers_.emplace_back(token->value, std::move(handler));
	return S_OK;
}

HRESULT Controller::remove_ZoomFactorChanged(EventRegistrationToken token) {
	if (HRESULT hr = call("remove_ZoomFactorChanged"); FAILED(hr)) return hr;
	auto found = std::find_if(zoom_handlers_.begin(), zoom_handlers_.end(), [&](auto& entry) { return entry.first == token.value; });
	if (found != zoom_handlers_.end()) {
		auto handler = std::move(found->second);
		zoom_handlers_.erase(found);
	}
	return S_OK;
}

bool Controller::user_zoom(double factor) {
	if (closed_ || !webview_->settings()->value(Settings::ZoomControl)) return false;
	zoom_ = std::clamp(factor, 0.25, 5.0);
	Engine::get().post([self = Ref<Controller>::share(this)] {
		if (self->closed_) return;
		Engine::get().record_event("ZoomFactorChanged " + std::to_string(self->zoom_));
		auto snapshot = self->zoom_handlers_;
		for (auto& [token, handler] : snapshot) {
			bool still = std::any_of(self->zoom_handlers_.begin(), self->zoom_handlers_.end(), [&](auto& entry) { return entry.first == token; });
			if (still && !self->closed_) handler->Invoke(self.get(), nullptr);
		}
	});
	return true;
}

HRESULT Controller::get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* value) {
	if (HRESULT hr = call("get_DefaultBackgroundColor"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = background_;
	return S_OK;
}

// Only fully transparent or opaque colours.
HRESULT Controller::put_DefaultBackgroundColor(COREWEBVIEW2_COLOR value) {
	if (HRESULT hr = call("put_DefaultBackgroundColor", color_text(value)); FAILED(hr)) return hr;
	if (value.A != 0 && value.A != 255) return E_INVALIDARG;
	background_ = value;
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
