// The user's languages on the view's web context: its Accept-Language and navigator.languages
// (never WebKitGTK's own reading of a "C" locale, which sends "Accept-Language: C"), and spell
// checking in them, which finds only the dictionaries Enchant has, from the end of the first load on.
#include "browser/user_languages.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace bw::webkitgtk {

namespace {

// Loading the dictionaries slowed the window's start: it waits for the first page's end.
void enable_spell_checking(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
	if (event != WEBKIT_LOAD_FINISHED) return;
	g_signal_handlers_disconnect_by_func(view, reinterpret_cast<gpointer>(enable_spell_checking), nullptr);
	// Enchant names dictionaries with underscores.
	std::vector<std::string> dictionaries = user_languages();
	for (std::string& dictionary : dictionaries) std::replace(dictionary.begin(), dictionary.end(), '-', '_');
	std::vector<const gchar*> names;
	for (const std::string& dictionary : dictionaries) names.push_back(dictionary.c_str());
	names.push_back(nullptr);
	WebKitWebContext* context = webkit_web_view_get_context(view);
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
	g_signal_connect(state->view, "load-changed", G_CALLBACK(enable_spell_checking), nullptr);
}

} // namespace bw::webkitgtk
