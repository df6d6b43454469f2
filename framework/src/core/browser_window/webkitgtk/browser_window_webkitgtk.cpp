// Browser windows over WebKitGTK: a WebKitWebView fills the GtkWindow. This file makes the view and
// holds the seam's calls; page messages and each page capability have a file of their own
// (page_messages.cpp, navigation_policy.cpp, downloads.cpp, browser_keys.cpp, lifecycle.cpp).
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/webkitgtk/creation_failure.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"
#include "core/browser_window/zoom_steps.hpp"
#include "core/process.hpp"

#include <bw/window_gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <vector>

namespace bw {

namespace webkitgtk {

BrowserWindowHandle program_handle(bw_BrowserWindow* record) {
	auto* user_data = static_cast<BrowserUserData*>(bw_Window_getUserData(record->window));
	if (user_data != nullptr && user_data->owner) return user_data->owner->handle();
	return BrowserWindowHandle(record);
}

std::string file_uri(const std::filesystem::path& path) {
	std::filesystem::path absolute = std::filesystem::absolute(path);
	gchar* uri = g_filename_to_uri(absolute.c_str(), nullptr, nullptr);
	std::string text = uri != nullptr ? uri : process::path_to_utf8_lossy(path);
	g_free(uri);
	return text;
}

} // namespace webkitgtk

namespace {

using webkitgtk::EngineState;
using webkitgtk::state_of;

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
	std::string uri = file != nullptr ? webkitgtk::file_uri(file->path) : std::get<Source::Url>(source.value).url;
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

// What the builder asked for that the view takes before its first load: the colour under the page
// (so that no white shows before the first paint) and the zoom.
void apply_view_capabilities(WebKitWebView* view, const PageCapabilities& capabilities) {
	if (const std::optional<BackgroundColor>& color = capabilities.background) {
		GdkRGBA rgba{color->red / 255.0, color->green / 255.0, color->blue / 255.0, 1.0};
		webkit_web_view_set_background_color(view, &rgba);
	}
	if (capabilities.zoom != 1.0) webkit_web_view_set_zoom_level(view, clamp_zoom(capabilities.zoom));
}

} // namespace

void BrowserWindowImpl::new_(ApplicationImpl app, WindowImpl parent, Source source, std::string_view title, std::optional<uint32_t> width,
                             std::optional<uint32_t> height, const bw_WindowOptions& window_options, const bw_BrowserWindowOptions& browser_options,
                             std::shared_ptr<const PageCapabilities> capabilities, CreationCallback callback, void* callback_data) {
	bw_BrowserWindow* record = bw_BrowserWindow_new(app.inner(), parent.inner(), bw_CStrSlice{title.size(), title.data()},
	                                                window_size_argument(width), window_size_argument(height), &window_options);
	if (!capabilities) capabilities = std::make_shared<const PageCapabilities>();

	WebKitUserContentManager* content = webkit_user_content_manager_new();
	auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
	g_object_ref_sink(view);
	WebKitSettings* settings = webkit_web_view_get_settings(view);
	webkit_settings_set_enable_javascript(settings, TRUE);
	webkit_settings_set_enable_developer_extras(settings, browser_options.dev_tools > 0);
	apply_view_capabilities(view, *capabilities);

	GtkWidget* window = bw_WindowGtk_getHandle(record->window);
	auto* state = new EngineState;
	state->record = record;
	state->view = view;
	state->content = content;
	state->window = window;
	state->capabilities = std::move(capabilities);
	state->callback = callback;
	state->callback_data = callback_data;
	webkitgtk::connect_page_messages(state);
	webkitgtk::connect_lifecycle(state);
	webkitgtk::connect_navigation_policy(state);
	webkitgtk::connect_downloads(state);
	webkitgtk::connect_browser_keys(state);
	webkitgtk::keep_top_frame_home(state);
	webkitgtk::connect_permissions(state, source);
	webkitgtk::connect_notifications(state);
	webkitgtk::apply_user_languages(state);
	webkitgtk::follow_desktop_theme(state);

	// The view fills the window's client area and follows its size.
	gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
	gtk_widget_show(GTK_WIDGET(view));
	webkitgtk::connect_find_and_print(state);
	record->impl_.controller = state;
	record->impl_.webview = view;

	const std::shared_ptr<FirstNavigationGate>& gate = state->capabilities->first_navigation_gate;
	state->source = std::move(source);
	if (!gate) {
		webkitgtk::load_first(state, "");
		return;
	}
	// The window may be closed, and the state freed, before the program opens the gate.
	std::weak_ptr<int> alive = state->life;
	// WebKitGTK starts the page's process only when it first needs one: for a navigation that will
	// wait, a script run in the empty document starts it now, with no load. (It costs the program
	// JavaScriptCore of its own, which is why only a prepared gate does it.)
	gate->when_prepared([alive, state, gate = std::weak_ptr<FirstNavigationGate>(gate)] {
		auto held = gate.lock();
		if (!alive.expired() && held && !held->is_open())
			webkit_web_view_evaluate_javascript(state->view, "0", 1, nullptr, nullptr, nullptr, nullptr, nullptr);
	});
	gate->when_open([alive, state](const std::string& url) {
		if (!alive.expired()) webkitgtk::load_first(state, url);
	});
}

void webkitgtk::load_first(EngineState* state, const std::string& url) {
	if (state->home_rules_pending) {
		state->first_url_waiting = url;
		return;
	}
	if (url.empty())
		load_source(state->view, *state->source);
	else if (std::optional<std::string> refusal = uri_refusal(url))
		webkitgtk::creation_failure("unable to navigate to the first page: " + *refusal);
	else
		webkit_web_view_load_uri(state->view, url.c_str());
	webkitgtk::start_first_navigation_limit(state);
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

// After the page's process ended, this starts a new one.
void BrowserWindowImpl::reload() const {
	if (EngineState* state = state_of(inner_)) webkit_web_view_reload(state->view);
}

bool BrowserWindowImpl::find(std::string_view text) const {
	EngineState* state = state_of(inner_);
	return state != nullptr && webkitgtk::find_in_page(state, std::string(text));
}

void BrowserWindowImpl::print() const {
	if (EngineState* state = state_of(inner_)) webkitgtk::print_page(state);
}

double BrowserWindowImpl::zoom() const {
	EngineState* state = state_of(inner_);
	return state != nullptr ? webkit_web_view_get_zoom_level(state->view) : 1.0;
}

void BrowserWindowImpl::set_zoom(double factor) const {
	if (EngineState* state = state_of(inner_)) webkit_web_view_set_zoom_level(state->view, clamp_zoom(factor));
}

bool BrowserWindowImpl::source_loaded() const { return !state_of(inner_)->source_failed; }

void BrowserWindowImpl::free() const {
	EngineState* state = state_of(inner_);
	if (state == nullptr) return;
	// Late signals must not reach the state or the record, which are about to go.
	if (state->first_navigation_limit != 0) g_source_remove(state->first_navigation_limit);
	if (state->new_window_load != 0) g_source_remove(state->new_window_load);
	g_signal_handlers_disconnect_by_data(state->view, state);
	g_signal_handlers_disconnect_by_data(state->content, state);
	g_signal_handlers_disconnect_by_data(state->window, state);
	g_signal_handlers_disconnect_by_data(webkit_web_view_get_context(state->view), state);
	webkitgtk::release_downloads(state);
	webkitgtk::release_notifications(state);
	webkitgtk::stop_following_desktop_theme(state);
	webkitgtk::disconnect_find_and_print(state);
	webkitgtk::disconnect_page_messages(state);
	g_object_unref(state->content);
	g_object_unref(state->view);
	delete state;
	inner_->impl_ = bw_BrowserWindowImpl{nullptr, nullptr};
}

void BrowserWindowImpl::register_message_handler(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	state_of(strong->handle().inner().inner())->handlers.push_back(webkitgtk::MessageRegistration{owner, std::move(handler)});
}

} // namespace bw

// The view is the window's child: GTK sizes it with the window, nothing more to do.
extern "C" void bw_WindowGtk_onResize(bw_Window*, int, int, int, int) {}
