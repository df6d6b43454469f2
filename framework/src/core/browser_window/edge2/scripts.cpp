// Script evaluation: on the GUI thread, and carried there from any thread.
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/liveness.hpp"
#include "core/browser_window/edge2/script_completion.hpp"

#include <memory>
#include <string>

namespace bw {

namespace {

// A thread-safe evaluation on its way to the GUI thread.
struct EvalJsCallbackData {
	std::string script;
	BrowserWindowImpl::EvalJsCallback callback;
	BrowserWindowImpl browser;
	void* callback_data;
	// Taken on the calling thread: the window may be freed before the call arrives.
	std::shared_ptr<edge2::Liveness> liveness;
};

void dispatch_eval_js(ApplicationImpl, void* data) {
	std::unique_ptr<EvalJsCallbackData> call(static_cast<EvalJsCallbackData*>(data));
	if (!call->liveness->alive) {
		call->callback(call->browser, call->callback_data, JsEvaluationError{"unable to execute script: the browser window was freed"});
		return;
	}
	call->browser.eval_js(call->script, call->callback, call->callback_data);
}

} // namespace

void BrowserWindowImpl::eval_js(std::string_view script, EvalJsCallback callback, void* callback_data) const {
	ApplicationImpl app(bw_Window_getApp(inner_->window));
	auto* completion = new edge2::ScriptCompletion(app, *this, callback, callback_data);
	ICoreWebView2* webview = edge2::webview_of(inner_);
	std::wstring text;
	HRESULT hr = webview == nullptr ? HRESULT_FROM_WIN32(ERROR_INVALID_STATE) : edge2::to_engine_text(script, text);
	if (SUCCEEDED(hr)) hr = webview->ExecuteScript(text.c_str(), completion);
	if (FAILED(hr)) completion->set_failure(hr);
	// When the engine did not take it, this release reports the failure, later.
	completion->Release();
}

void BrowserWindowImpl::eval_js_threadsafe(std::string_view script, EvalJsCallback callback, void* callback_data) const {
	auto* call = new EvalJsCallbackData{std::string(script), callback, *this, callback_data, edge2::liveness_of(inner_)};
	ApplicationImpl app(bw_Window_getApp(inner_->window));
	// Refused only once the loop has ended, when nothing awaits the outcome any more.
	if (!app.dispatch(dispatch_eval_js, call)) delete call;
}

} // namespace bw
