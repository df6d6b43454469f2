// Names for the files the page downloads: safe in any folder, and never one that is there already.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

// The suggested name as a plain file name: only its last path component, as valid UTF-8, without
// control characters, invisible format characters (bidi overrides, zero-width) or characters
// Windows refuses (each becomes '_'), leading dots or spaces, or trailing dots or spaces (also
// after cutting); names Windows reserves for devices get a leading '_'. At most 200 bytes, the
// extension kept. Empty: "download".
std::string safe_file_name(std::string_view suggested);

// The name itself when it is not taken, otherwise the first of "stem (1).ext", "stem (2).ext", ...
// that is not. The extension is what follows the last dot, so "data.tar.gz" becomes
// "data.tar (1).gz".
std::string unused_file_name(const std::string& name, const std::function<bool(const std::string&)>& taken);

} // namespace tarnwick
