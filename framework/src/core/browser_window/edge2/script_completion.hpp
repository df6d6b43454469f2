// The completion of one ExecuteScript: hands the outcome to the evaluation's callback exactly once,
// on the GUI thread, never from inside the call that started the evaluation.
#pragma once

#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/com_handler.hpp"

#include <optional>
#include <string>

namespace bw::edge2 {

class ScriptCompletion final : public ComHandler<ICoreWebView2ExecuteScriptCompletedHandler, IID_ICoreWebView2ExecuteScriptCompletedHandler> {
public:
	// Without a callback the outcome is only checked and dropped (the bridge script).
	ScriptCompletion(ApplicationImpl app, BrowserWindowImpl browser, BrowserWindowImpl::EvalJsCallback callback, void* callback_data)
	    : app_(app), browser_(browser), callback_(callback), callback_data_(callback_data) {}

	// A failing completion returns its HRESULT, a result that is not valid UTF-16 E_FAIL.
	HRESULT STDMETHODCALLTYPE Invoke(HRESULT error_code, LPCWSTR result) override;

	// The script never reached the engine: once released, the callback gets this failure.
	void set_failure(HRESULT hr) { failure_ = hr; }

	static std::string failure_text(HRESULT hr);

private:
	// Released without a completion (never handed over, or dropped by the engine): the callback
	// still gets an error, dispatched to the GUI thread.
	~ScriptCompletion() override;

	void complete(JsEvalResult result);

	ApplicationImpl app_;
	BrowserWindowImpl browser_;
	BrowserWindowImpl::EvalJsCallback callback_;
	void* callback_data_;
	std::optional<HRESULT> failure_;
};

} // namespace bw::edge2
