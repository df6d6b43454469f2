// The life of a WebKitGTK window's page: the first load announces the window (also when it failed,
// or was ended for taking too long), failed loads may keep the engine's error page out, and the end
// or silence of the page's web process reaches the program.
#include "core/browser_window/webkitgtk/creation_failure.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <chrono>
#include <string>

namespace bw::webkitgtk {

namespace {

void announce(EngineState* state) {
	state->created = true;
	if (state->first_navigation_limit != 0) {
		g_source_remove(state->first_navigation_limit);
		state->first_navigation_limit = 0;
	}
	state->callback(BrowserWindowImpl(state->record), state->callback_data);
}

// Tells the program of a load's start or end; false when its callback closed the window.
bool tell_load(EngineState* state, LoadEvent::Kind kind) {
	if (!state->capabilities->loads) return true;
	const char* uri = webkit_web_view_get_uri(state->view);
	LoadEvent event{kind, uri != nullptr ? uri : "", kind == LoadEvent::Kind::Finished && !state->load_failed};
	return call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.loads(handle, event); });
}

void on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (event == WEBKIT_LOAD_STARTED) {
		state->first_load_started = true;
		state->load_failed = false;
		if (!tell_load(state, LoadEvent::Kind::Started)) return;
	}
	if (event == WEBKIT_LOAD_FINISHED && !tell_load(state, LoadEvent::Kind::Finished)) return;
	// A failed load also ends with FINISHED: the window is announced either way, once.
	if (event != WEBKIT_LOAD_FINISHED || state->created) return;
	announce(state);
}

gboolean on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	state->load_failed = true;
	if (!state->created) state->source_failed = true;
	// Handled, the engine's own error page does not follow: the view keeps the page it had, or stays
	// blank on the first load. Never for a navigation kept home, which is the policy's.
	gboolean handled = state->capabilities->engine_error_pages ? FALSE : TRUE;
	return held_away_from_home(state, uri, error) ? TRUE : handled;
}

const char* termination_reason(WebKitWebProcessTerminationReason reason) {
	switch (reason) {
	case WEBKIT_WEB_PROCESS_CRASHED: return "it crashed";
	case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT: return "it exceeded its memory limit";
	case WEBKIT_WEB_PROCESS_TERMINATED_BY_API: return "it was terminated";
	}
	return "unknown reason";
}

// Before the first load finished, the window would never be announced: creation has failed. Later,
// the engine starts a new web process for the next load (reload() brings the page back), and
// evaluations meanwhile fail on their own.
void on_web_process_terminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (!state->created)
		creation_failure(std::string("web process terminated before the first load finished: ") + termination_reason(reason));
	if (!state->capabilities->process_failed) return;
	ProcessFailure failure{ProcessFailure::Kind::PageEnded, std::string("the page's process ended: ") + termination_reason(reason)};
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.process_failed(handle, failure); });
}

// The engine tells when the web process stops answering its pings, and again when it answers.
void on_responsiveness(GObject*, GParamSpec*, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (webkit_web_view_get_is_web_process_responsive(state->view) || !state->capabilities->process_failed) return;
	ProcessFailure failure{ProcessFailure::Kind::PageUnresponsive, "the page's process does not answer"};
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.process_failed(handle, failure); });
}

// The first navigation is still running: stopping it ends it as failed (cancelled), and its end
// announces the window. One that has not even started (the web process is still starting) ends
// without a word from the engine, as may one stopped too early: the window is announced here then.
gboolean on_first_navigation_limit(gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	state->first_navigation_limit = 0;
	if (state->created) return G_SOURCE_REMOVE;
	webkit_web_view_stop_loading(state->view);
	if (state->first_load_started && !state->first_load_stopped) {
		state->first_load_stopped = true;
		if (!state->created) state->first_navigation_limit = g_timeout_add(1000, on_first_navigation_limit, state);
		return G_SOURCE_REMOVE;
	}
	state->source_failed = true;
	announce(state);
	return G_SOURCE_REMOVE;
}

} // namespace

void connect_lifecycle(EngineState* state) {
	g_signal_connect(state->view, "load-changed", G_CALLBACK(on_load_changed), state);
	g_signal_connect(state->view, "load-failed", G_CALLBACK(on_load_failed), state);
	g_signal_connect(state->view, "web-process-terminated", G_CALLBACK(on_web_process_terminated), state);
	g_signal_connect(state->view, "notify::is-web-process-responsive", G_CALLBACK(on_responsiveness), state);
}

void start_first_navigation_limit(EngineState* state) {
	const std::optional<std::chrono::milliseconds>& limit = state->capabilities->first_navigation_within;
	if (!limit || state->created) return;
	auto milliseconds = static_cast<guint>(std::clamp<std::chrono::milliseconds::rep>(limit->count(), 0, G_MAXUINT));
	state->first_navigation_limit = g_timeout_add(milliseconds, on_first_navigation_limit, state);
}

} // namespace bw::webkitgtk
