// Downloads of a WebKitGTK window whose program decides where they go. The web context is shared by
// every view, so each window takes only the downloads of its own view. Its decide-destination
// handler always decides (a path, or a cancel), so the engine never saves one of them to its
// default folder; failed comes before finished, which reports the outcome once.
#include "core/browser_window/webkitgtk/engine_state.hpp"


#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>

namespace bw::webkitgtk {

namespace {

void forget(EngineState* state, Download* record) {
	auto found = std::find_if(state->downloads.begin(), state->downloads.end(), [&](const auto& each) { return each.get() == record; });
	if (found == state->downloads.end()) return;
	g_signal_handlers_disconnect_by_data(record->download, record);
	g_object_unref(record->download);
	state->downloads.erase(found);
}

gboolean on_decide_destination(WebKitDownload* download, gchar* suggested_name, gpointer data) {
	auto* record = static_cast<Download*>(data);
	WebKitURIResponse* response = webkit_download_get_response(download);
	const char* mime_type = response != nullptr ? webkit_uri_response_get_mime_type(response) : nullptr;
	DownloadRequest request{record->url, suggested_name != nullptr ? suggested_name : "", mime_type != nullptr ? mime_type : "",
	                        record->user_initiated, record->from_frame};
	std::optional<std::filesystem::path> path;
	record->asked = true;
	g_object_ref(download);
	// Gone with the window when the program closed it meanwhile; the download still takes the answer.
	bool alive = call_program(record->state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) {
		path = capabilities.download_destination(handle, request);
	});
	// The file is made here, exclusively, before the engine is told of it: a file already there (or
	// made by another program after the program chose the name) is never handed to the engine, which
	// would remove it as its own partial download when refused to overwrite it. The engine may
	// overwrite only the empty file made here.
	int made = path ? open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666) : -1;
	int why = errno;
	bool taken = path && made < 0;
	if (made >= 0) close(made);
	if (path && alive) {
		record->accepted = true;
		record->path = *path;
		if (taken) record->error = why == EEXIST ? "a file already exists at " + path->string() : "cannot create " + path->string() + ": " + std::strerror(why);
	}
	if (path && !taken) {
		webkit_download_set_allow_overwrite(download, TRUE);
		webkit_download_set_destination(download, file_uri(*path).c_str());
	} else {
		webkit_download_cancel(download);
	}
	g_object_unref(download);
	return TRUE;
}

void on_failed(WebKitDownload*, GError* error, gpointer data) {
	auto* record = static_cast<Download*>(data);
	if (record->error.empty())
		record->error = error != nullptr && error->message != nullptr && *error->message != '\0' ? error->message : "the download failed";
}

void on_finished(WebKitDownload*, gpointer data) {
	auto* record = static_cast<Download*>(data);
	EngineState* state = record->state;
	bool report = record->accepted && state->capabilities->download_finished;
	DownloadOutcome outcome{record->url, record->path, record->error.empty(), record->error};
	forget(state, record);
	if (!report) return;
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.download_finished(handle, outcome); });
}

void on_download_started(WebKitWebContext*, WebKitDownload* download, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (webkit_download_get_web_view(download) != state->view) return;
	WebKitURIRequest* request = webkit_download_get_request(download);
	const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
	auto record = std::make_unique<Download>();
	record->state = state;
	record->download = WEBKIT_DOWNLOAD(g_object_ref(download));
	record->url = uri != nullptr ? uri : "";
	// Told now: by the time the program is asked, later navigations may have taken their places.
	record->user_initiated = user_gesture_for(state, record->url);
	record->from_frame = came_to_a_frame(state, record->url);
	g_signal_connect(download, "decide-destination", G_CALLBACK(on_decide_destination), record.get());
	g_signal_connect(download, "failed", G_CALLBACK(on_failed), record.get());
	g_signal_connect(download, "finished", G_CALLBACK(on_finished), record.get());
	state->downloads.push_back(std::move(record));
}

} // namespace

void connect_downloads(EngineState* state) {
	if (!state->capabilities->download_destination) return;
	g_signal_connect(webkit_web_view_get_context(state->view), "download-started", G_CALLBACK(on_download_started), state);
}

// A download the program placed continues unreported when the window goes; one it was not asked
// about yet would go to the engine's default folder, and is cancelled.
void release_downloads(EngineState* state) {
	for (const std::unique_ptr<Download>& record : state->downloads) {
		g_signal_handlers_disconnect_by_data(record->download, record.get());
		if (!record->asked) webkit_download_cancel(record->download);
		g_object_unref(record->download);
	}
	state->downloads.clear();
}

} // namespace bw::webkitgtk
