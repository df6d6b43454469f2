// The user's languages on the view's web context: its Accept-Language and navigator.languages
// (never WebKitGTK's own reading of a "C" locale, which sends "Accept-Language: C"), and spell
// checking in them, which finds only the dictionaries Enchant has, from a moment after the first load on.
#include "browser/user_languages.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace bw::webkitgtk {

namespace {

constexpr guint spell_checking_after_load_seconds = 2;

gboolean enable_spell_checking(gpointer data) {
	auto* context = static_cast<WebKitWebContext*>(data);
	// Enchant names dictionaries with underscores.
	std::vector<std::string> dictionaries = user_languages();
	for (std::string& dictionary : dictionaries) std::replace(dictionary.begin(), dictionary.end(), '-', '_');
	std::vector<const gchar*> names;
	for (const std::string& dictionary : dictionaries) names.push_back(dictionary.c_str());
	names.push_back(nullptr);
	webkit_web_context_set_spell_checking_enabled(context, TRUE);
	webkit_web_context_set_spell_checking_languages(context, names.data());
	return G_SOURCE_REMOVE;
}

// Loading the dictionaries takes the GUI thread for a while: not before the first page has loaded
// and the window has drawn it, and not beside the first scripts of the page.
void enable_spell_checking_soon(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
	if (event != WEBKIT_LOAD_FINISHED) return;
	g_signal_handlers_disconnect_by_func(view, reinterpret_cast<gpointer>(enable_spell_checking_soon), nullptr);
	g_timeout_add_seconds_full(G_PRIORITY_LOW, spell_checking_after_load_seconds, enable_spell_checking, g_object_ref(webkit_web_view_get_context(view)),
	                           g_object_unref);
}

} // namespace

void apply_user_languages(EngineState* state) {
	if (!state->capabilities->user_languages) return;
	std::vector<std::string> languages = user_languages();
	std::vector<const gchar*> tags;
	for (const std::string& language : languages) tags.push_back(language.c_str());
	tags.push_back(nullptr);
	webkit_web_context_set_preferred_languages(webkit_web_view_get_context(state->view), tags.data());
	g_signal_connect(state->view, "load-changed", G_CALLBACK(enable_spell_checking_soon), nullptr);
}

} // namespace bw::webkitgtk
