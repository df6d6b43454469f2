// The user's languages on the view's web context: its Accept-Language and navigator.languages
// (never WebKitGTK's own reading of a "C" locale, which sends "Accept-Language: C"), and spell
// checking in them, which finds only the dictionaries Enchant has.
#include "browser/user_languages.hpp"
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <algorithm>

namespace bw::webkitgtk {

void apply_user_languages(EngineState* state) {
	if (!state->capabilities->user_languages) return;
	std::vector<std::string> languages = user_languages();
	std::vector<const gchar*> tags;
	for (const std::string& language : languages) tags.push_back(language.c_str());
	tags.push_back(nullptr);
	WebKitWebContext* context = webkit_web_view_get_context(state->view);
	webkit_web_context_set_preferred_languages(context, tags.data());
	// Enchant names dictionaries with underscores.
	std::vector<std::string> dictionaries = languages;
	for (std::string& dictionary : dictionaries) std::replace(dictionary.begin(), dictionary.end(), '-', '_');
	std::vector<const gchar*> names;
	for (const std::string& dictionary : dictionaries) names.push_back(dictionary.c_str());
	names.push_back(nullptr);
	webkit_web_context_set_spell_checking_enabled(context, TRUE);
	webkit_web_context_set_spell_checking_languages(context, names.data());
}

} // namespace bw::webkitgtk
