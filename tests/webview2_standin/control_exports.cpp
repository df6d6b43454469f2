// The test controls.
#include "standin_control.h"

#include "objects.hpp"

#include <cstring>

using standin::Engine;
using standin::NavigationMode;

namespace {

NavigationMode mode_of(int mode) {
	switch (mode) {
	case STANDIN_NAVIGATION_FAIL: return NavigationMode::Fail;
	case STANDIN_NAVIGATION_PROBE: return NavigationMode::Probe;
	case STANDIN_NAVIGATION_NEVER_ANSWERS: return NavigationMode::NeverAnswers;
	default: return NavigationMode::Succeed;
	}
}

} // namespace

extern "C" {

STANDIN_API void StandIn_Reset(void) {
	Engine::get().reset();
	standin::forget_profile_permissions();
}

STANDIN_API const char* StandIn_CallLog(void) {
	thread_local std::string text;
	text = Engine::get().call_log();
	return text.c_str();
}

STANDIN_API const char* StandIn_Trace(void) {
	thread_local std::string text;
	text = Engine::get().trace();
	return text.c_str();
}

STANDIN_API const char* StandIn_Violations(void) {
	thread_local std::string text;
	text = Engine::get().violations();
	return text.c_str();
}

STANDIN_API void StandIn_FailStep(const char* step, HRESULT hr) { Engine::get().fail_step(step, hr, false); }

STANDIN_API void StandIn_FailStepOnce(const char* step, HRESULT hr) { Engine::get().fail_step(step, hr, true); }

STANDIN_API void StandIn_SetNavigationResult(int mode) { Engine::get().set_navigation_mode(mode_of(mode)); }

STANDIN_API void StandIn_SetNavigationRule(const wchar_t* url_prefix, int mode) {
	Engine::get().set_navigation_rule(url_prefix == nullptr ? L"" : url_prefix, mode_of(mode));
}

STANDIN_API void StandIn_BrowserVersion(const wchar_t* version) {
	Engine::get().set_browser_version(version == nullptr ? std::nullopt : std::optional<std::wstring>(version));
}

STANDIN_API int StandIn_LiveObjects(void) { return Engine::get().live_objects(); }

STANDIN_API const char* StandIn_LiveObjectList(void) {
	thread_local std::string text;
	text = Engine::get().live_object_list();
	return text.c_str();
}

STANDIN_API int StandIn_PendingDeliveries(void) { return Engine::get().pending_tasks(); }

STANDIN_API BOOL StandIn_PostWebMessageAsJson(const wchar_t* json) {
	auto webview = Engine::get().latest_webview();
	return webview && json != nullptr && webview->page_post_message(json);
}

STANDIN_API BOOL StandIn_RunPageScript(const wchar_t* script) {
	auto webview = Engine::get().latest_webview();
	if (!webview || script == nullptr) return FALSE;
	webview->page_run_script(script);
	return TRUE;
}

STANDIN_API BOOL StandIn_NavigateFromPage(const wchar_t* url) {
	auto webview = Engine::get().latest_webview();
	if (!webview || url == nullptr) return FALSE;
	webview->page_navigate(url);
	return TRUE;
}

STANDIN_API int StandIn_Setting(const char* name) {
	auto webview = Engine::get().latest_webview();
	if (!webview || name == nullptr) return -1;
	const auto& names = standin::Settings::names;
	for (size_t i = 0; i < names.size(); ++i) {
		if (std::strcmp(names[i], name) == 0) return webview->settings()->value(static_cast<standin::Settings::Flag>(i)) ? 1 : 0;
	}
	return -1;
}

STANDIN_API BOOL StandIn_ClickLink(const wchar_t* url, BOOL new_window) {
	auto webview = Engine::get().latest_webview();
	if (!webview || url == nullptr) return FALSE;
	if (new_window) {
		webview->page_open_window(url, true);
	} else {
		webview->page_navigate(url, standin::NavigationCause{true});
	}
	return TRUE;
}

STANDIN_API BOOL StandIn_StartDownload(const wchar_t* url, const wchar_t* content_disposition, const wchar_t* mime_type, const char* bytes,
    int size, int interrupt_reason) {
	auto webview = Engine::get().latest_webview();
	if (!webview || url == nullptr || size < 0 || (size > 0 && bytes == nullptr)) return FALSE;
	standin::DownloadSpec spec{url, content_disposition == nullptr ? L"" : content_disposition, mime_type == nullptr ? L"" : mime_type,
	    std::string(bytes == nullptr ? "" : bytes, static_cast<size_t>(size)), static_cast<COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON>(interrupt_reason)};
	webview->page_download(std::move(spec));
	return TRUE;
}

STANDIN_API BOOL StandIn_FailProcess(int kind, int reason, int exit_code) {
	auto webview = Engine::get().latest_webview();
	if (!webview) return FALSE;
	webview->page_process_failed(static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(kind), static_cast<COREWEBVIEW2_PROCESS_FAILED_REASON>(reason), exit_code);
	return TRUE;
}

STANDIN_API BOOL StandIn_UserZoom(double factor) {
	auto webview = Engine::get().latest_webview();
	return webview && webview->controller() != nullptr && webview->controller()->user_zoom(factor);
}

STANDIN_API BOOL StandIn_RequestPermission(int kind, const wchar_t* origin, BOOL user_initiated) {
	auto webview = Engine::get().latest_webview();
	if (!webview) return FALSE;
	webview->page_request_permission(static_cast<COREWEBVIEW2_PERMISSION_KIND>(kind), origin != nullptr ? std::optional<std::wstring>(origin) : std::nullopt,
	                                 user_initiated != FALSE);
	return TRUE;
}

STANDIN_API BOOL StandIn_ShowNotification(const wchar_t* title, const wchar_t* body, const wchar_t* tag, BOOL silent) {
	auto webview = Engine::get().latest_webview();
	if (!webview) return FALSE;
	webview->page_notify(standin::NotificationSpec{title != nullptr ? title : L"", body != nullptr ? body : L"", tag != nullptr ? tag : L"", silent != FALSE});
	return TRUE;
}

STANDIN_API BOOL StandIn_CloseNotification(void) {
	auto webview = Engine::get().latest_webview();
	if (!webview) return FALSE;
	webview->page_close_notification();
	return TRUE;
}

} // extern "C"
