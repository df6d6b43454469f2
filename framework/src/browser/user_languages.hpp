// The user's languages, most preferred first, as BCP 47 tags ("de-DE", "de"), from the locale the
// user set (LANGUAGE, LC_ALL, LC_MESSAGES and LANG on Linux; the user's locale on Windows). A "C" or
// "POSIX" locale, or none, is English: "en-US". Any thread.
#pragma once

#include <string>
#include <vector>

namespace bw {

std::vector<std::string> user_languages();

} // namespace bw
