// The engine's state of one browser window on WebKitGTK, kept in the record's controller slot, and
// what the binding's files share to reach the program from the engine's signals.
#pragma once

#include "browser/browser_window.hpp"
#include "browser/page_capabilities.hpp"
#include "core/browser_window/browser_window_impl.hpp"

#include <webkit2/webkit2.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bw::webkitgtk {

struct MessageRegistration {
	std::weak_ptr<BrowserWindowOwner> owner;
	std::shared_ptr<EventHandler> handler;
};

struct EngineState;

// A download of this window's view that the program is asked about.
struct Download {
	EngineState* state = nullptr;
	WebKitDownload* download = nullptr; // referenced
	std::string url;
	bool user_initiated = false;
	bool from_frame = false;
	std::filesystem::path path;
	// Once the program was asked; one released before that is cancelled rather than left to the
	// engine's default folder.
	bool asked = false;
	// Only a download the program gave a path is reported.
	bool accepted = false;
	std::string error;
};

struct EngineState {
	bw_BrowserWindow* record = nullptr;
	WebKitWebView* view = nullptr; // referenced
	WebKitUserContentManager* content = nullptr; // referenced
	// The native window, which outlives this state.
	GtkWidget* window = nullptr;
	std::shared_ptr<const PageCapabilities> capabilities;
	BrowserWindowImpl::CreationCallback callback = nullptr;
	void* callback_data = nullptr;
	bool created = false;
	bool source_failed = false;
	std::vector<MessageRegistration> handlers;
	guint first_navigation_limit = 0;
	bool first_load_started = false;
	// Whether the load under way failed.
	bool load_failed = false;
	bool first_load_stopped = false;
	// The builder's source, kept for a held first navigation.
	std::optional<Source> source;
	// A new window's address the program allowed and this view now loads: not asked about again.
	std::string allowed_new_window;
	// The idle source that loads it.
	guint new_window_load = 0;
	// While the home origins' rules compile, the first navigation waits here.
	bool home_rules_pending = false;
	std::optional<std::string> first_url_waiting;
	// Where the latest redirect of any frame led.
	std::string last_redirect;
	// Whether a user's action led to the last few navigations, by address, newest last.
	std::deque<std::pair<std::string, bool>> recent_gestures;
	// The last few documents that came to frames inside the page, by address, newest last.
	std::deque<std::string> recent_frame_documents;
	std::vector<std::unique_ptr<Download>> downloads;
	// The find bar (find_bar.cpp), when the program asked for it.
	void* find_bar = nullptr;
	// The page notifications handed to the program, let go of when the window goes.
	std::vector<std::weak_ptr<PageNotification>> notifications;
	// What the smooth scrolling of a Ctrl+wheel left short of a whole step.
	double wheel_delta = 0;
	// Expires when the state is freed, which a program's callback may do by closing the window.
	std::shared_ptr<int> life = std::make_shared<int>(0);
};

inline EngineState* state_of(bw_BrowserWindow* record) { return static_cast<EngineState*>(record->impl_.controller); }

// The handle the program's callbacks get: the owner's once the window has been announced (so that
// its liveness flag is the one the owner clears), before that one made for the call.
BrowserWindowHandle program_handle(bw_BrowserWindow* record);

// Calls into the program, which may close the window and so free the state: whether the state still
// exists afterwards. The capabilities, and the view's object, stay for the call.
template <class Call> bool call_program(EngineState* state, Call&& call) {
	std::weak_ptr<int> alive = state->life;
	std::shared_ptr<const PageCapabilities> capabilities = state->capabilities;
	WebKitWebView* view = WEBKIT_WEB_VIEW(g_object_ref(state->view));
	std::forward<Call>(call)(program_handle(state->record), *capabilities);
	g_object_unref(view);
	return !alive.expired();
}

// The file: URI of a path's absolute form.
std::string file_uri(const std::filesystem::path& path);

// The isolated script world where the binding's own scripts run, out of the pages' reach: one world,
// since each costs every frame a script context of its own.
inline constexpr const char* binding_world = "bw-bridge";
// Adds a script that runs at the start of every frame's documents, in the world (the page's own
// when null).
void add_user_script(WebKitUserContentManager* content, const std::string& source, const char* world);

// The concerns' signal handlers, connected by new_ with the state as their data; free() disconnects
// every handler by that data.
void connect_page_messages(EngineState* state);
void disconnect_page_messages(EngineState* state);
void connect_navigation_policy(EngineState* state);
void connect_downloads(EngineState* state);
void release_downloads(EngineState* state);
void connect_browser_keys(EngineState* state);
// permissions.cpp: before the first load; the source's origin is asked about notifications.
void connect_permissions(EngineState* state, const Source& source);
// find_bar.cpp: after the view is in the window.
void connect_find_and_print(EngineState* state);
void disconnect_find_and_print(EngineState* state);
// The system's print dialog for the page.
void print_page(EngineState* state);
// Opens the find bar with the text and searches; false without a find bar.
bool find_in_page(EngineState* state, const std::string& text);
// desktop_theme.cpp.
void follow_desktop_theme(EngineState* state);
void stop_following_desktop_theme(EngineState* state);
// languages.cpp: before the first load.
void apply_user_languages(EngineState* state);
void connect_notifications(EngineState* state);
void release_notifications(EngineState* state);
void connect_lifecycle(EngineState* state);
void start_first_navigation_limit(EngineState* state);
// The first navigation, to the source or to the address the program opened its gate with.
void load_first(EngineState* state, const std::string& url);
// Keeps the top frame to the home origins, if the program named any (home_origins.cpp); the first
// navigation waits for their rules.
void keep_top_frame_home(EngineState* state);
// For a failed load: whether it was a navigation kept from leaving home, which the policy was then
// asked about (and which may have freed the state).
bool held_away_from_home(EngineState* state, const char* uri, const GError* error);
// Whether a user's action led to the latest navigation to the address, as far as the engine told.
bool user_gesture_for(const EngineState* state, const std::string& url);
// Whether a document of the address came lately to a frame inside the page.
bool came_to_a_frame(const EngineState* state, const std::string& url);

// The user changed the zoom: set and reported to the program when it differs.
void user_zoom(EngineState* state, double factor);

} // namespace bw::webkitgtk
