// The user's languages on the view's web context: its Accept-Language and navigator.languages
// (never WebKitGTK's own reading of a "C" locale, which sends "Accept-Language: C"), and spell
// checking in them, which finds only the dictionaries Enchant has. The dictionaries hold megabytes of
// the program's memory (an English one about 8 MiB) and loading them takes the GUI thread for tens
// of milliseconds, so they are loaded when a text field of a page first takes the focus: a script in
// the binding's isolated world tells the program so, once per document.
#include "browser/user_languages.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace bw::webkitgtk {

namespace {

constexpr const char* spelling_handler = "bwSpelling";

// Runs at the document's start, so a field that takes the focus as the page loads (autofocus)
// counts too.
constexpr const char* focus_listener =
    "document.addEventListener('focusin', function listener(event) {\n"
    "  var field = event.target;\n"
    "  if (!field.isContentEditable && field.localName !== 'textarea' && !(field.localName === 'input' && /^(text|search)$/.test(field.type)))\n"
    "    return;\n"
    "  document.removeEventListener('focusin', listener, true);\n"
    "  window.webkit.messageHandlers.bwSpelling.postMessage('');\n"
    "}, true);\n";

void enable_spell_checking(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer data) {
	auto* context = static_cast<WebKitWebContext*>(data);
	if (webkit_web_context_get_spell_checking_enabled(context)) return;
	// Enchant names dictionaries with underscores.
	std::vector<std::string> dictionaries = user_languages();
	for (std::string& dictionary : dictionaries) std::replace(dictionary.begin(), dictionary.end(), '-', '_');
	std::vector<const gchar*> names;
	for (const std::string& dictionary : dictionaries) names.push_back(dictionary.c_str());
	names.push_back(nullptr);
	webkit_web_context_set_spell_checking_enabled(context, TRUE);
	webkit_web_context_set_spell_checking_languages(context, names.data());
}

} // namespace

void apply_user_languages(EngineState* state) {
	if (!state->capabilities->user_languages) return;
	std::vector<std::string> languages = user_languages();
	std::vector<const gchar*> tags;
	for (const std::string& language : languages) tags.push_back(language.c_str());
	tags.push_back(nullptr);
	webkit_web_context_set_preferred_languages(webkit_web_view_get_context(state->view), tags.data());
	add_user_script(state->content, focus_listener, binding_world);
	g_signal_connect_data(state->content, (std::string("script-message-received::") + spelling_handler).c_str(), G_CALLBACK(enable_spell_checking),
	                      g_object_ref(webkit_web_view_get_context(state->view)), [](gpointer context, GClosure*) { g_object_unref(context); },
	                      static_cast<GConnectFlags>(0));
	webkit_user_content_manager_register_script_message_handler_in_world(state->content, spelling_handler, binding_world);
}

} // namespace bw::webkitgtk
