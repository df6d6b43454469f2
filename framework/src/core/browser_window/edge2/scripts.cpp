// Script evaluation on the GUI thread (other threads go through the neutral eval_js_threadsafe).
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/script_completion.hpp"
#include "core/browser_window/edge2/script_outcome.hpp"

#include <wrl/client.h>

#include <string>

namespace bw {

void BrowserWindowImpl::eval_js(std::string_view script, EvalJsCallback callback, void* callback_data) const {
	ApplicationImpl app(bw_Window_getApp(inner_->window));
	ICoreWebView2* webview = edge2::webview_of(inner_);
	std::wstring text;
	HRESULT hr = webview == nullptr ? HRESULT_FROM_WIN32(ERROR_INVALID_STATE) : edge2::to_engine_text(script, text);
	// Runtimes that have ExecuteScriptWithResult tell a throw from a value themselves.
	Microsoft::WRL::ComPtr<ICoreWebView2_21> with_result;
	if (SUCCEEDED(hr) && FAILED(webview->QueryInterface(IID_ICoreWebView2_21, reinterpret_cast<void**>(with_result.GetAddressOf()))))
		with_result.Reset();
	if (with_result != nullptr) {
		auto* completion = new edge2::ScriptResultCompletion(app, *this, callback, callback_data);
		hr = with_result->ExecuteScriptWithResult(text.c_str(), completion);
		if (FAILED(hr)) completion->delivery().set_failure(hr);
		// When the engine did not take it, this release reports the failure, later.
		completion->Release();
		return;
	}
	auto* completion = new edge2::ScriptCompletion(edge2::ScriptCompletion::Text::Wrapped, app, *this, callback, callback_data);
	if (SUCCEEDED(hr)) hr = webview->ExecuteScript(edge2::wrap_for_execute_script(text).c_str(), completion);
	if (FAILED(hr)) completion->delivery().set_failure(hr);
	completion->Release();
}

} // namespace bw
