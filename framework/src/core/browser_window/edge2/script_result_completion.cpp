#include "core/browser_window/edge2/engine_text.hpp"
#include "core/browser_window/edge2/script_completion.hpp"
#include "core/browser_window/edge2/script_outcome.hpp"

#include <wrl/client.h>

namespace bw::edge2 {

namespace {

// A getter's CoTaskMemAlloc text as UTF-8; empty when there is none.
template <class Getter>
HRESULT engine_string(Getter get, std::string& out) {
	LPWSTR text = nullptr;
	HRESULT hr = get(&text);
	out.clear();
	if (SUCCEEDED(hr) && text != nullptr) hr = from_engine_text(text, out);
	CoTaskMemFree(text);
	return hr;
}

JsEvaluationError exception_of(ICoreWebView2ExecuteScriptResult* result) {
	Microsoft::WRL::ComPtr<ICoreWebView2ScriptException> exception;
	// S_OK even without an exception object: the pointer tells.
	if (FAILED(result->get_Exception(exception.GetAddressOf())) || exception == nullptr) return thrown_error({}, {});
	std::string name, message, details;
	engine_string([&](LPWSTR* text) { return exception->get_Name(text); }, name);
	engine_string([&](LPWSTR* text) { return exception->get_Message(text); }, message);
	if (name.empty() && message.empty()) engine_string([&](LPWSTR* text) { return exception->get_ToJson(text); }, details);
	return thrown_error(name, message, details);
}

} // namespace

HRESULT ScriptResultCompletion::Invoke(HRESULT error_code, ICoreWebView2ExecuteScriptResult* result) {
	KeepAlive keep(this);
	if (HRESULT returned = S_OK; delivery_.completed_early(error_code, result != nullptr, returned)) return returned;
	BOOL succeeded = FALSE;
	if (HRESULT hr = result->get_Succeeded(&succeeded); FAILED(hr)) {
		delivery_.fail(hr);
		return hr;
	}
	if (!succeeded) {
		delivery_.complete(exception_of(result));
		return S_OK;
	}
	std::string json;
	if (HRESULT hr = engine_string([&](LPWSTR* text) { return result->get_ResultAsJson(text); }, json); FAILED(hr)) {
		delivery_.fail(hr);
		return hr;
	}
	delivery_.complete(value_of_result_json(json));
	return S_OK;
}

} // namespace bw::edge2
