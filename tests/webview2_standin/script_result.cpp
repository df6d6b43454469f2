// ExecuteScriptWithResult's result and exception objects. Their getters are logged with a "result."
// or "exception." prefix and can be made to fail under those names.
#include "objects.hpp"

namespace standin {
namespace {

HRESULT enter_getter(HRESULT entered, const char* prefix, const char* method) {
	if (FAILED(entered)) return entered;
	std::string step = std::string(prefix) + method;
	Engine::get().record_call(step);
	return Engine::get().failure(step);
}

} // namespace

HRESULT ExecuteScriptResult::get_Succeeded(BOOL* value) {
	if (HRESULT hr = enter_getter(enter("get_Succeeded"), "result.", "get_Succeeded"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = run_.thrown ? FALSE : TRUE;
	return S_OK;
}

HRESULT ExecuteScriptResult::get_ResultAsJson(LPWSTR* jsonResult) {
	if (HRESULT hr = enter_getter(enter("get_ResultAsJson"), "result.", "get_ResultAsJson"); FAILED(hr)) return hr;
	return hand_out(run_.result_as_json(), jsonResult);
}

HRESULT ExecuteScriptResult::TryGetResultAsString(LPWSTR* stringResult, BOOL* value) {
	if (HRESULT hr = enter_getter(enter("TryGetResultAsString"), "result.", "TryGetResultAsString"); FAILED(hr)) return hr;
	if (stringResult == nullptr || value == nullptr) return E_POINTER;
	std::optional<JsonValue> parsed = run_.value ? parse_json(*run_.value) : std::nullopt;
	bool is_string = parsed && parsed->string;
	*value = is_string ? TRUE : FALSE;
	// Not a string: FALSE and an empty string.
	return hand_out(is_string ? *parsed->string : std::wstring(), stringResult);
}

HRESULT ExecuteScriptResult::get_Exception(ICoreWebView2ScriptException** exception) {
	if (HRESULT hr = enter_getter(enter("get_Exception"), "result.", "get_Exception"); FAILED(hr)) return hr;
	if (exception == nullptr) return E_POINTER;
	// S_OK also without one.
	*exception = run_.thrown ? new ScriptException(run_) : nullptr;
	return S_OK;
}

HRESULT ScriptException::get_LineNumber(UINT32* value) {
	if (HRESULT hr = enter_getter(enter("get_LineNumber"), "exception.", "get_LineNumber"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = 0;
	return S_OK;
}

HRESULT ScriptException::get_ColumnNumber(UINT32* value) {
	if (HRESULT hr = enter_getter(enter("get_ColumnNumber"), "exception.", "get_ColumnNumber"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = 0;
	return S_OK;
}

HRESULT ScriptException::get_Name(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("get_Name"), "exception.", "get_Name"); FAILED(hr)) return hr;
	return hand_out(name_, value);
}

HRESULT ScriptException::get_Message(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("get_Message"), "exception.", "get_Message"); FAILED(hr)) return hr;
	return hand_out(message_, value);
}

HRESULT ScriptException::get_ToJson(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("get_ToJson"), "exception.", "get_ToJson"); FAILED(hr)) return hr;
	return hand_out(json_, value);
}

} // namespace standin
