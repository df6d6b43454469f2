// Browser windows over WebKitGTK: a WebKitWebView fills the GtkWindow; page messages arrive through
// a script message handler that the bridge's window.chrome.webview.postMessage stands on, so pages
// written for either engine call invoke_extern the same way.
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/bridge_script.hpp"
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/message_delivery.hpp"
#include "core/browser_window/webkitgtk/creation_failure.hpp"
#include "core/process.hpp"

#include <bw/window_gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

namespace bw {

namespace {

constexpr const char* message_handler_name = "bw";

// The engine's own end of window.chrome.webview, then the bridge that defines invoke_extern. Both
// run at the start of every document the view loads, so every page can call invoke_extern.
constexpr const char* webview_shim =
    "window.chrome = window.chrome || {};\n"
    "window.chrome.webview = { postMessage: function (message) { window.webkit.messageHandlers.bw.postMessage(message); } };\n";

struct MessageRegistration {
	std::weak_ptr<BrowserWindowOwner> owner;
	std::shared_ptr<EventHandler> handler;
};

// The engine's state of one browser window, kept in the record's controller slot.
struct EngineState {
	bw_BrowserWindow* record;
	WebKitWebView* view; // referenced
	WebKitUserContentManager* content; // referenced
	BrowserWindowImpl::CreationCallback callback;
	void* callback_data;
	bool created = false;
	bool source_failed = false;
	std::vector<MessageRegistration> handlers;
};

EngineState* state_of(bw_BrowserWindow* record) { return static_cast<EngineState*>(record->impl_.controller); }

void on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	// A failed load also ends with FINISHED: the window is announced either way, once.
	if (event != WEBKIT_LOAD_FINISHED || state->created) return;
	state->created = true;
	state->callback(BrowserWindowImpl(state->record), state->callback_data);
}

gboolean on_load_failed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (!state->created) state->source_failed = true;
	// The engine's own error page still follows.
	return FALSE;
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
// the engine starts a new web process for the next load, and evaluations meanwhile fail on their own.
void on_web_process_terminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if (state->created) return;
	webkitgtk::creation_failure(std::string("web process terminated before the first load finished: ") + termination_reason(reason));
}

void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	JSCValue* value = webkit_javascript_result_get_js_value(result);
	char* json = jsc_value_to_json(value, 0);
	if (json == nullptr) return;
	std::string text(json);
	g_free(json);
	// A handler may close the window and so free this state: deliver from a copy.
	std::vector<MessageRegistration> handlers = state->handlers;
	for (const MessageRegistration& registration : handlers) deliver_message_json(registration.owner, *registration.handler, text, "");
}

std::string file_uri(const std::filesystem::path& path) {
	std::filesystem::path absolute = std::filesystem::absolute(path);
	gchar* uri = g_filename_to_uri(absolute.c_str(), nullptr, nullptr);
	std::string text = uri != nullptr ? uri : process::path_to_utf8_lossy(path);
	g_free(uri);
	return text;
}

// Why WebKit would not start loading the URI (it would quietly show an error page instead), or
// nothing when it is an absolute URI without a NUL character.
std::optional<std::string> uri_refusal(std::string_view uri) {
	if (uri.find('\0') != std::string_view::npos) return "the URI holds a NUL character";
	std::string text(uri);
	GError* error = nullptr;
	if (g_uri_is_valid(text.c_str(), G_URI_FLAGS_PARSE_RELAXED, &error)) return std::nullopt;
	std::string message = error != nullptr ? error->message : "invalid URI";
	g_clear_error(&error);
	return message;
}

void load_source(WebKitWebView* view, const Source& source) {
	if (const auto* html = std::get_if<Source::Html>(&source.value)) {
		webkit_web_view_load_html(view, html->html.c_str(), nullptr);
		return;
	}
	// WebKit loads URIs only: a path becomes the file: URI of its absolute form.
	const auto* file = std::get_if<Source::File>(&source.value);
	std::string uri = file != nullptr ? file_uri(file->path) : std::get<Source::Url>(source.value).url;
	if (std::optional<std::string> refusal = uri_refusal(uri)) webkitgtk::creation_failure("unable to navigate to source: " + *refusal);
	webkit_web_view_load_uri(view, uri.c_str());
}

// What eval_js hands to the engine's completion.
struct Evaluation {
	BrowserWindowImpl browser;
	BrowserWindowImpl::EvalJsCallback callback;
	void* callback_data;
};

JsValue value_of(JSCValue* value) {
	if (jsc_value_is_undefined(value)) return JsValue::undefined();
	char* json = jsc_value_to_json(value, 0);
	// Functions and symbols have no JSON form.
	if (json == nullptr) return JsValue::undefined();
	JsValue result = JsValue::from_json(json);
	g_free(json);
	return result;
}

void on_evaluated(GObject* view, GAsyncResult* result, gpointer data) {
	std::unique_ptr<Evaluation> evaluation(static_cast<Evaluation*>(data));
	GError* error = nullptr;
	JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
	if (value == nullptr) {
		std::string message = error != nullptr ? error->message : "unknown error";
		if (error != nullptr) g_error_free(error);
		evaluation->callback(evaluation->browser, evaluation->callback_data, JsEvaluationError{message});
		return;
	}
	JsValue js_value = value_of(value);
	g_object_unref(value);
	evaluation->callback(evaluation->browser, evaluation->callback_data, std::move(js_value));
}

} // namespace

void BrowserWindowImpl::new_(ApplicationImpl app, WindowImpl parent, Source source, std::string_view title, std::optional<uint32_t> width,
                             std::optional<uint32_t> height, const bw_WindowOptions& window_options, const bw_BrowserWindowOptions& browser_options,
                             std::shared_ptr<const PageCapabilities> capabilities, CreationCallback callback, void* callback_data) {
	(void)capabilities;
	bw_BrowserWindow* record = bw_BrowserWindow_new(app.inner(), parent.inner(), bw_CStrSlice{title.size(), title.data()},
	                                                window_size_argument(width), window_size_argument(height), &window_options);

	WebKitUserContentManager* content = webkit_user_content_manager_new();
	std::string scripts = std::string(webview_shim) + std::string(bridge_script);
	WebKitUserScript* script = webkit_user_script_new(scripts.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
	                                                  WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
	webkit_user_content_manager_add_script(content, script);
	webkit_user_script_unref(script);

	auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
	g_object_ref_sink(view);
	WebKitSettings* settings = webkit_web_view_get_settings(view);
	webkit_settings_set_enable_javascript(settings, TRUE);
	webkit_settings_set_enable_developer_extras(settings, browser_options.dev_tools > 0);

	auto* state = new EngineState{record, view, content, callback, callback_data, false, false, {}};
	g_signal_connect(content, "script-message-received::bw", G_CALLBACK(on_script_message), state);
	webkit_user_content_manager_register_script_message_handler(content, message_handler_name);
	g_signal_connect(view, "load-changed", G_CALLBACK(on_load_changed), state);
	g_signal_connect(view, "web-process-terminated", G_CALLBACK(on_web_process_terminated), state);
	g_signal_connect(view, "load-failed", G_CALLBACK(on_load_failed), state);

	// The view fills the window's client area and follows its size.
	gtk_container_add(GTK_CONTAINER(bw_WindowGtk_getHandle(record->window)), GTK_WIDGET(view));
	gtk_widget_show(GTK_WIDGET(view));
	record->impl_.controller = state;
	record->impl_.webview = view;

	load_source(view, source);
}

void BrowserWindowImpl::eval_js(std::string_view script, EvalJsCallback callback, void* callback_data) const {
	EngineState* state = state_of(inner_);
	webkit_web_view_evaluate_javascript(state->view, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr, on_evaluated,
	                                    new Evaluation{*this, callback, callback_data});
}

Result<std::monostate> BrowserWindowImpl::navigate(std::string_view url) const {
	EngineState* state = state_of(inner_);
	if (state == nullptr) return Error(bw_Err_new_with_msg(1, "unable to navigate: the browser window's view is gone"));
	if (std::optional<std::string> refusal = uri_refusal(url)) return Error(bw_Err_new_with_msg(1, ("unable to navigate: " + *refusal).c_str()));
	webkit_web_view_load_uri(state->view, std::string(url).c_str());
	return std::monostate();
}

std::string BrowserWindowImpl::url() const {
	EngineState* state = state_of(inner_);
	const char* uri = state != nullptr ? webkit_web_view_get_uri(state->view) : nullptr;
	return uri != nullptr ? uri : "";
}

bool BrowserWindowImpl::source_loaded() const { return !state_of(inner_)->source_failed; }

void BrowserWindowImpl::free() const {
	EngineState* state = state_of(inner_);
	if (state == nullptr) return;
	// Late signals must not reach the state or the record, which are about to go.
	g_signal_handlers_disconnect_by_data(state->view, state);
	g_signal_handlers_disconnect_by_data(state->content, state);
	webkit_user_content_manager_unregister_script_message_handler(state->content, message_handler_name);
	g_object_unref(state->content);
	g_object_unref(state->view);
	delete state;
	inner_->impl_ = bw_BrowserWindowImpl{nullptr, nullptr};
}

void BrowserWindowImpl::register_message_handler(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	state_of(strong->handle().inner().inner())->handlers.push_back(MessageRegistration{owner, std::move(handler)});
}

} // namespace bw

// The view is the window's child: GTK sizes it with the window, nothing more to do.
extern "C" void bw_WindowGtk_onResize(bw_Window*, int, int, int, int) {}
