// Script evaluation on the GUI thread (other threads go through the neutral eval_js_threadsafe).
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/script_completion.hpp"

#include <string>

namespace bw {

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

} // namespace bw
