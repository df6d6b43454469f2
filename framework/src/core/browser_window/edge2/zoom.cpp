// The page's zoom: the controller's ZoomFactor, the factor the window starts with, and the user's
// changes (keys, wheel) through ZoomFactorChanged. The engine's own zoom keys stay on whether or not
// the program asked for browser keys: that is the engine's default, and the binding changes no
// setting for it.
#include "browser/browser_window.hpp"
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"
#include "core/browser_window/zoom_steps.hpp"

#include <algorithm>
#include <cmath>

namespace bw::edge2 {

namespace {

bool same_factor(double a, double b) { return std::abs(a - b) < 1e-9; }

class ZoomFactorChanged final : public ComHandler<ICoreWebView2ZoomFactorChangedEventHandler, IID_ICoreWebView2ZoomFactorChangedEventHandler> {
public:
	ZoomFactorChanged(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	// The sender is only lent.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2Controller* controller, IUnknown*) override {
		KeepAlive keep(this);
		if (!liveness_->alive || controller == nullptr) return S_OK;
		double factor = 1.0;
		if (FAILED(controller->get_ZoomFactor(&factor))) return S_OK;
		// A factor the binding set may come back as a change: that one is not the user's.
		std::optional<double> set = std::exchange(liveness_->zoom_set, std::nullopt);
		if (set && same_factor(*set, factor)) return S_OK;
		liveness_->capabilities->zoom_changed(BrowserWindowHandle(record_), factor);
		return S_OK;
	}

private:
	~ZoomFactorChanged() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

} // namespace

void install_zoom(const ViewParts& view) {
	if (!same_factor(view.capabilities().zoom, 1.0)) BrowserWindowImpl(view.record).set_zoom(view.capabilities().zoom);
	if (!view.capabilities().zoom_changed) return;
	// Not kept: the handler goes with the controller, and does nothing once the window is freed.
	EventRegistrationToken token{};
	auto* changed = new ZoomFactorChanged(view.record, view.liveness);
	view.controller->add_ZoomFactorChanged(changed, &token);
	changed->Release();
}

} // namespace bw::edge2

namespace bw {

double BrowserWindowImpl::zoom() const {
	ICoreWebView2Controller* controller = edge2::controller_of(inner_);
	double factor = 1.0;
	if (controller == nullptr || FAILED(controller->get_ZoomFactor(&factor))) return 1.0;
	return factor;
}

void BrowserWindowImpl::set_zoom(double factor) const {
	ICoreWebView2Controller* controller = edge2::controller_of(inner_);
	if (controller == nullptr || std::isnan(factor)) return;
	factor = clamp_zoom(factor);
	if (SUCCEEDED(controller->put_ZoomFactor(factor))) edge2::liveness_of(inner_)->zoom_set = factor;
}

} // namespace bw
