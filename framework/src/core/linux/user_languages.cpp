#include "browser/user_languages.hpp"

#include <glib.h>

#include <algorithm>

namespace bw {

// GLib's list names each locale in its forms: "de_DE.UTF-8", "de_DE", "de.UTF-8", "de", ..., "C".
std::vector<std::string> user_languages() {
	std::vector<std::string> languages;
	for (const gchar* const* name = g_get_language_names(); *name != nullptr; name++) {
		std::string tag = *name;
		if (tag == "C" || tag == "POSIX" || tag.find_first_of(".@") != std::string::npos) continue;
		std::replace(tag.begin(), tag.end(), '_', '-');
		if (std::find(languages.begin(), languages.end(), tag) == languages.end()) languages.push_back(tag);
	}
	if (languages.empty()) languages.push_back("en-US");
	return languages;
}

} // namespace bw
