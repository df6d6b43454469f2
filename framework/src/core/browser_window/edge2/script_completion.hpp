// The completions of an evaluation: each hands the outcome to the evaluation's callback exactly
// once, on the GUI thread, never from inside the call that started the evaluation.
#pragma once

#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/com_handler.hpp"

#include <optional>
#include <string>

namespace bw::edge2 {

// The callback's side of one evaluation.
class EvaluationDelivery {
public:
	// Without a callback the outcome is only checked and dropped (the bridge script).
	EvaluationDelivery(ApplicationImpl app, BrowserWindowImpl browser, BrowserWindowImpl::EvalJsCallback callback, void* callback_data)
	    : app_(app), browser_(browser), callback_(callback), callback_data_(callback_data) {}
	EvaluationDelivery(const EvaluationDelivery&) = delete;
	EvaluationDelivery& operator=(const EvaluationDelivery&) = delete;
	// Gone without an outcome (never handed over, or dropped by the engine): the callback still
	// gets an error, dispatched to the GUI thread.
	~EvaluationDelivery();

	bool wanted() const { return callback_ != nullptr; }
	void complete(JsEvalResult result);
	// The script never reached the engine: once gone, the callback gets this failure.
	void set_failure(HRESULT hr) { failure_ = hr; }

	static std::string failure_text(HRESULT hr);
	void fail(HRESULT hr) { complete(JsEvaluationError{failure_text(hr)}); }
	// What every completion checks first: a failed call or a missing result completes the
	// evaluation with an error (true); the completion then returns what_to_return.
	bool completed_early(HRESULT error_code, bool has_result, HRESULT& what_to_return);

private:
	ApplicationImpl app_;
	BrowserWindowImpl browser_;
	BrowserWindowImpl::EvalJsCallback callback_;
	void* callback_data_;
	std::optional<HRESULT> failure_;
};

// ExecuteScript's completion. Its text is the value as JSON, or, for a script wrapped by
// wrap_for_execute_script, the wrapper's account of the outcome.
class ScriptCompletion final : public ComHandler<ICoreWebView2ExecuteScriptCompletedHandler, IID_ICoreWebView2ExecuteScriptCompletedHandler> {
public:
	enum class Text { Value, Wrapped };

	ScriptCompletion(Text text, ApplicationImpl app, BrowserWindowImpl browser, BrowserWindowImpl::EvalJsCallback callback, void* callback_data)
	    : text_(text), delivery_(app, browser, callback, callback_data) {}

	// A failing completion returns its HRESULT, a result that is not valid UTF-16 E_FAIL.
	HRESULT STDMETHODCALLTYPE Invoke(HRESULT error_code, LPCWSTR result) override;

	EvaluationDelivery& delivery() { return delivery_; }

private:
	~ScriptCompletion() override = default;

	Text text_;
	EvaluationDelivery delivery_;
};

// ExecuteScriptWithResult's completion: the engine itself tells a throw from a value.
class ScriptResultCompletion final
    : public ComHandler<ICoreWebView2ExecuteScriptWithResultCompletedHandler, IID_ICoreWebView2ExecuteScriptWithResultCompletedHandler> {
public:
	ScriptResultCompletion(ApplicationImpl app, BrowserWindowImpl browser, BrowserWindowImpl::EvalJsCallback callback, void* callback_data)
	    : delivery_(app, browser, callback, callback_data) {}

	HRESULT STDMETHODCALLTYPE Invoke(HRESULT error_code, ICoreWebView2ExecuteScriptResult* result) override;

	EvaluationDelivery& delivery() { return delivery_; }

private:
	~ScriptResultCompletion() override = default;

	EvaluationDelivery delivery_;
};

} // namespace bw::edge2
