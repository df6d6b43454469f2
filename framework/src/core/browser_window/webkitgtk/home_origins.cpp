// The home origins on WebKitGTK. The engine asks its navigation policy about a top-level navigation
// only at the response (navigation_policy.cpp), so the top frame is kept home by a content rule
// list instead: documents of the top frame outside the home origins are blocked inside the engine,
// before their request is made, and the load fails with the blocker's error, which is when the
// program's policy is asked. Frames of other origins inside a page load as before.
//
// The rules are compiled on a thread of the engine's into a store in the program's cache folder, and
// taken from there by the next windows and starts with the same home origins.
#include "core/browser_window/message_delivery.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace bw::webkitgtk {

namespace {

// What WebKit's load-failed reports for a load its content blocker stopped; its public error enum
// does not name it.
constexpr int blocked_by_content_filter = 104;

// The rules' regular expressions know no alternatives: every character of the origin that means
// something to them is escaped, and an address of the origin always goes on with "/" (or a query or
// fragment) once the engine has made it canonical.
std::string origin_filter(const std::string& origin) {
	std::string pattern = "^";
	for (char c : origin) {
		if (std::string_view(".*+?()[]{}|^$\\").find(c) != std::string_view::npos) pattern += "\\\\";
		else if (c == '"') pattern += '\\';
		pattern += c;
	}
	return pattern + "[/?#]";
}

std::string rules_for(const HomeOrigins& origins) {
	std::string rules = R"([{"trigger":{"url-filter":"^https?:","resource-type":["document"],"load-context":["top-frame"]},"action":{"type":"block"}})";
	for (const std::string& origin : origins)
		rules += R"(,{"trigger":{"url-filter":")" + origin_filter(origin) + R"("},"action":{"type":"ignore-previous-rules"}})";
	return rules + "]";
}

bool at_home(const HomeOrigins& origins, const std::string& url) {
	return std::find(origins.begin(), origins.end(), origin_of(url)) != origins.end();
}

// The rules of a window on their way into the engine.
struct RulesJob {
	std::weak_ptr<int> alive;
	std::string identifier;
	std::string rules;
};

void on_rules_compiled(GObject* store, GAsyncResult* result, gpointer data);

// The window's filter (or, without one, the policy stays asked at the response, as without home
// origins) is in place: its first navigation may go.
void take_filter(GObject* store, std::unique_ptr<RulesJob> job, WebKitUserContentFilter* filter, GError* error) {
	// The window may have been closed meanwhile.
	if (!job->alive.expired()) {
		auto* state = static_cast<EngineState*>(g_object_get_data(store, "bw-engine-state"));
		if (filter != nullptr)
			webkit_user_content_manager_add_filter(state->content, filter);
		else
			std::fprintf(stderr, "bw: the top frame cannot be kept to its home origins: %s\n", error != nullptr ? error->message : "unknown error");
		state->home_rules_pending = false;
		if (state->first_url_waiting) load_first(state, *std::exchange(state->first_url_waiting, std::nullopt));
	}
	if (filter != nullptr) webkit_user_content_filter_unref(filter);
	g_clear_error(&error);
	g_object_unref(store);
}

// Compiling the rules slowed every window's start: the rules compiled at an earlier start are
// loaded from the store (named by the rules' hash), and compiled only when they are not there
// or the engine cannot read them (another version of it wrote them).
void on_rules_loaded(GObject* store, GAsyncResult* result, gpointer data) {
	std::unique_ptr<RulesJob> job(static_cast<RulesJob*>(data));
	GError* error = nullptr;
	WebKitUserContentFilter* filter = webkit_user_content_filter_store_load_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
	if (filter != nullptr || job->alive.expired()) {
		take_filter(store, std::move(job), filter, error);
		return;
	}
	g_clear_error(&error);
	GBytes* source = g_bytes_new(job->rules.data(), job->rules.size());
	std::string identifier = job->identifier;
	webkit_user_content_filter_store_save(WEBKIT_USER_CONTENT_FILTER_STORE(store), identifier.c_str(), source, nullptr, on_rules_compiled, job.release());
	g_bytes_unref(source);
}

void on_rules_compiled(GObject* store, GAsyncResult* result, gpointer data) {
	std::unique_ptr<RulesJob> job(static_cast<RulesJob*>(data));
	GError* error = nullptr;
	WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
	take_filter(store, std::move(job), filter, error);
}

} // namespace

void keep_top_frame_home(EngineState* state) {
	const PageCapabilities& capabilities = *state->capabilities;
	if (!capabilities.navigation_policy || capabilities.home_origins.empty()) return;
	state->home_rules_pending = true;
	const char* program = g_get_prgname();
	std::string folder = std::string(g_get_user_cache_dir()) + "/" + (program != nullptr ? program : "bw") + "/content-rules";
	WebKitUserContentFilterStore* store = webkit_user_content_filter_store_new(folder.c_str());
	g_object_set_data(G_OBJECT(store), "bw-engine-state", state);
	std::string rules = rules_for(capabilities.home_origins);
	std::string identifier = "home-" + std::to_string(std::hash<std::string>()(rules));
	auto* job = new RulesJob{state->life, identifier, std::move(rules)};
	webkit_user_content_filter_store_load(store, identifier.c_str(), nullptr, on_rules_loaded, job);
}

bool held_away_from_home(EngineState* state, const char* uri, const GError* error) {
	const PageCapabilities& capabilities = *state->capabilities;
	if (capabilities.home_origins.empty() || error == nullptr || error->domain != WEBKIT_POLICY_ERROR || error->code != blocked_by_content_filter)
		return false;
	// A failure at a home address was a redirect away from it: asked about where it led.
	std::string url = uri != nullptr ? uri : "";
	if (at_home(capabilities.home_origins, url) && !state->last_redirect.empty()) url = state->last_redirect;
	NavigationRequest request{url, false, user_gesture_for(state, url)};
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.navigation_policy(handle, request); });
	return true;
}

} // namespace bw::webkitgtk
