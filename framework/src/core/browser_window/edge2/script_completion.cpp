#include "core/browser_window/edge2/script_completion.hpp"

#include "application/application.hpp"
#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/script_outcome.hpp"

#include <utility>

namespace bw::edge2 {

std::string EvaluationDelivery::failure_text(HRESULT hr) { return "unable to execute script: " + hresult_message(hr); }

void EvaluationDelivery::complete(JsEvalResult result) {
	// Taken first: the callback runs at most once, also if it re-enters.
	BrowserWindowImpl::EvalJsCallback callback = std::exchange(callback_, nullptr);
	if (callback != nullptr) callback(browser_, callback_data_, std::move(result));
}

bool EvaluationDelivery::completed_early(HRESULT error_code, bool has_result, HRESULT& what_to_return) {
	if (FAILED(error_code)) {
		fail(error_code);
		what_to_return = error_code;
		return true;
	}
	if (!has_result) {
		complete(JsEvaluationError{"unable to execute script: the engine gave no result"});
		what_to_return = S_OK;
		return true;
	}
	return false;
}

EvaluationDelivery::~EvaluationDelivery() {
	BrowserWindowImpl::EvalJsCallback callback = std::exchange(callback_, nullptr);
	if (callback == nullptr) return;
	std::string text = failure_ ? failure_text(*failure_) : "unable to execute script: the engine dropped it without completing it";
	auto report = [callback, browser = browser_, data = callback_data_, text]() { callback(browser, data, JsEvaluationError{text}); };
	// The loop no longer runs only while the application ends; the callback must still free its data.
	if (!ApplicationHandle(app_).dispatch(report)) report();
}

HRESULT ScriptCompletion::Invoke(HRESULT error_code, LPCWSTR result) {
	KeepAlive keep(this);
	if (HRESULT returned = S_OK; delivery_.completed_early(error_code, result != nullptr, returned)) return returned;
	std::string json;
	if (HRESULT hr = from_engine_text(result, json); FAILED(hr)) {
		delivery_.fail(hr);
		return hr;
	}
	if (!delivery_.wanted()) return S_OK;
	delivery_.complete(text_ == Text::Wrapped ? unwrap_execute_script_result(json) : JsValue::from_json(json));
	return S_OK;
}

} // namespace bw::edge2
