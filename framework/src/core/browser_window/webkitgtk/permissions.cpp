// The program's permission policy over the view's permission-request signal, for every kind of
// request WebKitGTK has. The request names no origin: it is the origin of the view's document (a
// frame of another origin is held back by the engine's permissions policy before it gets here).
// WebKitGTK remembers nothing of the answer beyond the page's life.
//
// Notifications differ: WebKitGTK asks only when the page asks on a user's action, and answers
// Notification.permission from what the web context was told before its page process started. So
// the policy is asked for the source's origin as the view is made, and the context told the answer
// (the engine asks no more for that origin). A request that still comes cannot be from that origin:
// it is put to the policy as one of an unknown origin ("").
#include "core/browser_window/message_delivery.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <set>
#include <string>
#include <variant>
#include <vector>

namespace bw::webkitgtk {

namespace {

// The origins whose notifications the (process-wide) default context was told of.
std::set<std::string>& told_origins() {
	static std::set<std::string> told;
	return told;
}

std::vector<PermissionKind> kinds_of(WebKitPermissionRequest* request) {
	if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return {PermissionKind::Notifications};
	if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return {PermissionKind::Geolocation};
	if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
		auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
		if (webkit_user_media_permission_is_for_display_device(media)) return {PermissionKind::Other};
		std::vector<PermissionKind> kinds;
		if (webkit_user_media_permission_is_for_video_device(media)) kinds.push_back(PermissionKind::Camera);
		if (webkit_user_media_permission_is_for_audio_device(media)) kinds.push_back(PermissionKind::Microphone);
		if (kinds.empty()) kinds.push_back(PermissionKind::Other);
		return kinds;
	}
	if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return {PermissionKind::ClipboardRead};
	if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) return {PermissionKind::DeviceInfo};
	if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) return {PermissionKind::PointerLock};
	if (WEBKIT_IS_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST(request)) return {PermissionKind::MediaKeys};
	if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request)) return {PermissionKind::StorageAccess};
	return {PermissionKind::Other};
}

gboolean on_permission_request(WebKitWebView* view, WebKitPermissionRequest* request, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	const char* uri = webkit_web_view_get_uri(view);
	std::string origin = origin_of(uri != nullptr ? uri : "");
	if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request) && told_origins().count(origin) > 0) origin.clear();
	bool allowed = true;
	for (PermissionKind kind : kinds_of(request)) {
		PermissionDecision decision = PermissionDecision::Deny;
		bool alive = call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) {
			decision = capabilities.permission_policy(handle, PermissionRequest{origin, kind, false});
		});
		allowed = alive && decision == PermissionDecision::Allow;
		if (!allowed) break;
	}
	if (allowed)
		webkit_permission_request_allow(request);
	else
		webkit_permission_request_deny(request);
	return TRUE;
}

} // namespace

void connect_permissions(EngineState* state, const Source& source) {
	if (!state->capabilities->permission_policy) return;
	g_signal_connect(state->view, "permission-request", G_CALLBACK(on_permission_request), state);
	const auto* url = std::get_if<Source::Url>(&source.value);
	std::string origin = url != nullptr ? origin_of(url->url) : "null";
	if (origin == "null" || !told_origins().insert(origin).second) return;
	PermissionDecision decision = PermissionDecision::Deny;
	if (!call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) {
		    decision = capabilities.permission_policy(handle, PermissionRequest{origin, PermissionKind::Notifications, false});
	    }))
		return;
	WebKitSecurityOrigin* told = webkit_security_origin_new_for_uri(url->url.c_str());
	GList* origins = g_list_append(nullptr, told);
	webkit_web_context_initialize_notification_permissions(webkit_web_view_get_context(state->view),
	                                                        decision == PermissionDecision::Allow ? origins : nullptr,
	                                                        decision == PermissionDecision::Allow ? nullptr : origins);
	g_list_free(origins);
	webkit_security_origin_unref(told);
}

} // namespace bw::webkitgtk
