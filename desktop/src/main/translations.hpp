// The launcher's own texts in the user's language, from gettext catalogs (desktop/po/*.po, compiled
// to tarnwick.mo by msgfmt) that lie beside the program: in locale/ (the build, the Windows zip) or
// ../share/locale/ (an installed program). The English texts are the message ids: without a catalog
// for the user's language, and in the "C" locale, every text is exactly its English one. The log
// stays in English.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::translations {

// Loads the catalog of the first of the languages ("de-DE", "de") that has one in any of the
// folders, each laid out as <language>/LC_MESSAGES/tarnwick.mo (de_DE before de). A damaged
// catalog is no catalog. At the start, before any other thread reads texts.
void load(const std::vector<std::filesystem::path>& folders, const std::vector<std::string>& languages);
// The same for the user's languages and the folders beside this program.
void load_for_user();

// The text in the loaded language, or the English text given.
std::string text(std::string_view english);
// The language of the texts, as HTML's lang wants it: the catalog's ("de"), or "en".
std::string language();

} // namespace tarnwick::translations

namespace tarnwick {

inline std::string tr(std::string_view english) { return translations::text(english); }

// The text with %1 to %9 replaced by the values, in the order the translation puts them.
std::string fill(std::string_view text, std::initializer_list<std::string_view> values);

// The translated text with its values put in.
inline std::string tr(std::string_view english, std::initializer_list<std::string_view> values) { return fill(tr(english), values); }

} // namespace tarnwick
