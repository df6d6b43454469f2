// Page messages on WebKitGTK, with the address of the document that sent them.
//
// The script message handler lives in an isolated script world of its own, so the page's world has
// no window.webkit.messageHandlers.bw to post to. The page's window.chrome.webview.postMessage hands
// the message, as JSON text, to that world through a DOM event on its document; the isolated world's
// listener posts it with its own reading of location.href, which no script of the page can
// replace. Both scripts run in every frame, so a frame's messages carry the frame's address.
// Address and message travel as one string, the address first up to a line break (a serialised
// address never holds one): a plain string costs both processes less than an object of two.
#include "core/browser_window/bridge_script.hpp"
#include "core/browser_window/message_delivery.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace bw::webkitgtk {

namespace {

constexpr const char* message_handler_name = "bw";

// The engine's own end of window.chrome.webview, then the bridge that defines invoke_extern. What it
// stands on is taken at the start of the document, before the page's scripts could replace it.
constexpr const char* webview_shim =
    "(function () {\n"
    "  var stringify = JSON.stringify, dispatch = EventTarget.prototype.dispatchEvent, Message = CustomEvent, target = document;\n"
    "  window.chrome = window.chrome || {};\n"
    "  window.chrome.webview = { postMessage: function (message) {\n"
    "    dispatch.call(target, new Message('bw-page-message', { detail: stringify(message) }));\n"
    "  } };\n"
    "})();\n";

constexpr const char* isolated_listener =
    "document.addEventListener('bw-page-message', function (event) {\n"
    "  if (typeof event.detail === 'string')\n"
    "    window.webkit.messageHandlers.bw.postMessage(location.href + '\\n' + event.detail);\n"
    "}, true);\n";

void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	JSCValue* value = webkit_javascript_result_get_js_value(result);
	if (!jsc_value_is_string(value)) return;
	char* text = jsc_value_to_string(value);
	std::string_view posted = text;
	std::size_t line_break = posted.find('\n');
	std::string source(posted.substr(0, line_break));
	std::string message(line_break == std::string_view::npos ? std::string_view() : posted.substr(line_break + 1));
	g_free(text);
	if (message.empty()) return;
	// A handler may close the window and so free this state: deliver from a copy.
	std::vector<MessageRegistration> handlers = state->handlers;
	for (const MessageRegistration& registration : handlers) deliver_message_json(registration.owner, *registration.handler, message, source);
}

} // namespace

void add_user_script(WebKitUserContentManager* content, const std::string& source, const char* world) {
	WebKitUserScript* script = world != nullptr ? webkit_user_script_new_for_world(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
	                                                                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world, nullptr, nullptr)
	                                            : webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
	                                                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
	webkit_user_content_manager_add_script(content, script);
	webkit_user_script_unref(script);
}

void connect_page_messages(EngineState* state) {
	add_user_script(state->content, isolated_listener, binding_world);
	add_user_script(state->content, std::string(webview_shim) + std::string(bridge_script), nullptr);
	g_signal_connect(state->content, "script-message-received::bw", G_CALLBACK(on_script_message), state);
	webkit_user_content_manager_register_script_message_handler_in_world(state->content, message_handler_name, binding_world);
}

void disconnect_page_messages(EngineState* state) {
	webkit_user_content_manager_unregister_script_message_handler_in_world(state->content, message_handler_name, binding_world);
}

} // namespace bw::webkitgtk
