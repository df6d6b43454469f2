// Settings and event arguments: plain values with logged getters.
#include "objects.hpp"
#include "script.hpp"
#include "text.hpp"

namespace standin {

HRESULT Settings::get(Flag flag, BOOL* value) {
	std::string method = std::string("get_") + names[flag];
	if (HRESULT hr = enter(method.c_str()); FAILED(hr)) return hr;
	Engine::get().record_call(method);
	if (HRESULT hr = Engine::get().failure(method); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = values_[flag];
	return S_OK;
}

HRESULT Settings::put(Flag flag, BOOL value) {
	std::string method = std::string("put_") + names[flag];
	if (HRESULT hr = enter(method.c_str()); FAILED(hr)) return hr;
	Engine::get().record_call(method + "(" + std::to_string(value) + ")");
	if (HRESULT hr = Engine::get().failure(method); FAILED(hr)) return hr;
	values_[flag] = value ? TRUE : FALSE;
	return S_OK;
}

namespace {

// Event arguments' getters: logged with an "args." prefix, as the webview has methods of the same
// names.
HRESULT enter_getter(HRESULT entered, const char* method) {
	if (FAILED(entered)) return entered;
	Engine::get().record_call(std::string("args.") + method);
	return Engine::get().failure(std::string("args.") + method);
}

} // namespace

HRESULT NavigationCompletedEventArgs::get_IsSuccess(BOOL* isSuccess) {
	if (HRESULT hr = enter_getter(enter("get_IsSuccess"), "get_IsSuccess"); FAILED(hr)) return hr;
	if (isSuccess == nullptr) return E_POINTER;
	*isSuccess = success_ ? TRUE : FALSE;
	return S_OK;
}

HRESULT NavigationCompletedEventArgs::get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* webErrorStatus) {
	if (HRESULT hr = enter_getter(enter("get_WebErrorStatus"), "get_WebErrorStatus"); FAILED(hr)) return hr;
	if (webErrorStatus == nullptr) return E_POINTER;
	*webErrorStatus = status_;
	return S_OK;
}

HRESULT NavigationCompletedEventArgs::get_NavigationId(UINT64* navigationId) {
	if (HRESULT hr = enter_getter(enter("get_NavigationId"), "get_NavigationId"); FAILED(hr)) return hr;
	if (navigationId == nullptr) return E_POINTER;
	*navigationId = id_;
	return S_OK;
}

HRESULT WebMessageReceivedEventArgs::get_Source(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("get_Source"), "get_Source"); FAILED(hr)) return hr;
	return hand_out(source_, value);
}

HRESULT WebMessageReceivedEventArgs::get_WebMessageAsJson(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("get_WebMessageAsJson"), "get_WebMessageAsJson"); FAILED(hr)) return hr;
	return hand_out(json_, value);
}

HRESULT WebMessageReceivedEventArgs::TryGetWebMessageAsString(LPWSTR* value) {
	if (HRESULT hr = enter_getter(enter("TryGetWebMessageAsString"), "TryGetWebMessageAsString"); FAILED(hr)) return hr;
	if (value == nullptr) return E_POINTER;
	*value = nullptr;
	auto message = parse_json(json_);
	if (!message || !message->string) return E_INVALIDARG;
	return hand_out(*message->string, value);
}

} // namespace standin
