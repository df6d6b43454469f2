// The program's navigation policy on WebKitGTK, and the response decisions that turn what the view
// cannot show into downloads.
//
// WebKitGTK 4.1 asks NAVIGATION_ACTION decisions for the main frame and for every subframe alike,
// and the navigation action tells nothing about its frame (no frame object; its frame name is the
// link's target name, empty for both). The first decision that tells them apart is the response's:
// webkit_response_policy_decision_is_main_frame_main_resource. So a top-level navigation is asked
// about when its response arrives (the request has reached the server by then; a redirect is asked
// about once, for where it ends), and denying it ignores the response: the page stays. A new-window
// request is top-level by nature and is asked about at once: a link with a target as a NEW_WINDOW_ACTION
// decision, window.open as the view's create signal, which comes without a decision.
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <string>

namespace bw::webkitgtk {

namespace {

constexpr std::size_t remembered_gestures = 8;

std::string request_uri(WebKitURIRequest* request) {
	const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
	return uri != nullptr ? uri : "";
}

NavigationDecision ask(EngineState* state, const NavigationRequest& request, bool& alive) {
	NavigationDecision decision = NavigationDecision::Allow;
	alive = call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) {
		decision = capabilities.navigation_policy(handle, request);
	});
	return decision;
}

// The navigation's frame is not known yet (see above): only whether a user's action led to it is
// kept, for the response or for the download it may turn into.
gboolean on_navigation_action(EngineState* state, WebKitNavigationPolicyDecision* decision) {
	WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(decision);
	std::string url = request_uri(webkit_navigation_action_get_request(action));
	// A redirect's failure is reported with the address it came from.
	if (webkit_navigation_action_is_redirect(action)) state->last_redirect = url;
	state->recent_gestures.emplace_back(std::move(url), webkit_navigation_action_is_user_gesture(action));
	if (state->recent_gestures.size() > remembered_gestures) state->recent_gestures.pop_front();
	return FALSE;
}

gboolean on_load_allowed_new_window(gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	state->new_window_load = 0;
	webkit_web_view_load_uri(state->view, state->allowed_new_window.c_str());
	return G_SOURCE_REMOVE;
}

// The engine never opens a window of its own: allowed, the address loads in this view, once the
// engine is done with the request.
void ask_new_window(EngineState* state, WebKitNavigationAction* action) {
	NavigationRequest request{request_uri(webkit_navigation_action_get_request(action)), true, webkit_navigation_action_is_user_gesture(action) != FALSE};
	bool alive = false;
	if (ask(state, request, alive) == NavigationDecision::Deny || !alive || request.url.empty()) return;
	state->allowed_new_window = request.url;
	if (state->new_window_load == 0) state->new_window_load = g_idle_add(on_load_allowed_new_window, state);
}

// A link with a target comes here first; denied here, the engine makes no window.
gboolean on_new_window_action(EngineState* state, WebKitPolicyDecision* decision) {
	webkit_policy_decision_ignore(decision);
	ask_new_window(state, webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision)));
	return TRUE;
}

gboolean on_response(EngineState* state, WebKitPolicyDecision* decision) {
	auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
	// A download tells nothing of its frame; this is how one that a frame's navigation turned into is known.
	if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) {
		state->recent_frame_documents.push_back(request_uri(webkit_response_policy_decision_get_request(response)));
		if (state->recent_frame_documents.size() > remembered_gestures) state->recent_frame_documents.pop_front();
	}
	if (state->capabilities->navigation_policy && webkit_response_policy_decision_is_main_frame_main_resource(response)) {
		std::string url = request_uri(webkit_response_policy_decision_get_request(response));
		if (std::exchange(state->allowed_new_window, std::string()) != url) {
			NavigationRequest request{url, false, user_gesture_for(state, url)};
			bool alive = false;
			NavigationDecision answer = ask(state, request, alive);
			if (answer == NavigationDecision::Deny) {
				webkit_policy_decision_ignore(decision);
				return TRUE;
			}
			if (!alive) return FALSE;
		}
	}
	// The engine's own choice drops what it cannot show, unless the server calls it an attachment:
	// with the program deciding where downloads go, it becomes a download instead.
	if (state->capabilities->download_destination && !webkit_response_policy_decision_is_mime_type_supported(response)) {
		webkit_policy_decision_download(decision);
		return TRUE;
	}
	return FALSE;
}

gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	// Kept across the program's call, which may close the window.
	g_object_ref(decision);
	gboolean handled = FALSE;
	switch (type) {
	case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: handled = on_navigation_action(state, WEBKIT_NAVIGATION_POLICY_DECISION(decision)); break;
	case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
		if (state->capabilities->navigation_policy) handled = on_new_window_action(state, decision);
		break;
	case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: handled = on_response(state, decision); break;
	default: break;
	}
	g_object_unref(decision);
	return handled;
}

// window.open asks for a window without a policy decision first. It gets no view either way.
GtkWidget* on_create(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
	ask_new_window(static_cast<EngineState*>(data), action);
	return nullptr;
}

} // namespace

bool user_gesture_for(const EngineState* state, const std::string& url) {
	for (auto entry = state->recent_gestures.rbegin(); entry != state->recent_gestures.rend(); ++entry)
		if (entry->first == url) return entry->second;
	return false;
}

bool came_to_a_frame(const EngineState* state, const std::string& url) {
	return std::find(state->recent_frame_documents.rbegin(), state->recent_frame_documents.rend(), url) != state->recent_frame_documents.rend();
}

void connect_navigation_policy(EngineState* state) {
	const PageCapabilities& capabilities = *state->capabilities;
	if (!capabilities.navigation_policy && !capabilities.download_destination) return;
	g_signal_connect(state->view, "decide-policy", G_CALLBACK(on_decide_policy), state);
	if (capabilities.navigation_policy) g_signal_connect(state->view, "create", G_CALLBACK(on_create), state);
}

} // namespace bw::webkitgtk
