#include "browser/user_languages.hpp"

#include <windows.h>

namespace bw {

// The user's locale ("de-DE") and its language ("de"). The invariant locale is English.
std::vector<std::string> user_languages() {
	wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
	int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
	std::string tag;
	for (int i = 0; i + 1 < length; i++) tag += name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
	if (tag.empty() || tag.find('?') != std::string::npos) return {"en-US"};
	std::vector<std::string> languages{tag};
	if (auto dash = tag.find('-'); dash != std::string::npos) languages.push_back(tag.substr(0, dash));
	return languages;
}

} // namespace bw
