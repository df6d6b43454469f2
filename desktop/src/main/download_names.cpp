#include "download_names.hpp"

#include "core/utf8.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace tarnwick {

namespace {

constexpr std::size_t longest_name = 200;

// Where the extension starts (at its dot), or the end when there is none: a dot that begins or
// ends the name starts none.
std::size_t extension_start(std::string_view name) {
	std::size_t dot = name.rfind('.');
	if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return name.size();
	return dot;
}

// Windows takes the part before the first dot, without trailing spaces, for the device: "nul .txt"
// is NUL. COM and LPT go from 0 to 9 and also take the superscript digits.
bool reserved_device_name(std::string_view name) {
	std::string stem(name.substr(0, name.find('.')));
	while (stem.ends_with(' ')) stem.pop_back();
	for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
	static constexpr std::array<std::string_view, 6> plain{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
	if (std::find(plain.begin(), plain.end(), stem) != plain.end()) return true;
	if (!stem.starts_with("COM") && !stem.starts_with("LPT")) return false;
	std::string_view digit = std::string_view(stem).substr(3);
	return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\u00b9" || digit == "\u00b2" || digit == "\u00b3";
}

// Characters that have no place in a file name: controls (C0, DEL, C1), the separators of lines and
// paragraphs, and the invisible format characters that can make a name read as another (bidi
// overrides and isolates, zero-width characters, tags).
bool invisible_or_control(char32_t c) {
	if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
	if (c == 0xAD || c == 0x61C || c == 0x180E || c == 0xFEFF || c == 0x2028 || c == 0x2029) return true;
	if ((c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F)) return true;
	return (c >= 0xFFF9 && c <= 0xFFFB) || c == 0x110BD || (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE007F);
}

void strip_trailing_dots_and_spaces(std::string& name) {
	while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

// Cut to at most `length` bytes without splitting a UTF-8 sequence.
std::string_view cut(std::string_view text, std::size_t length) {
	if (text.size() <= length) return text;
	while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) length--;
	return text.substr(0, length);
}

} // namespace

std::string safe_file_name(std::string_view suggested) {
	if (std::size_t slash = suggested.find_last_of("/\\"); slash != std::string_view::npos) suggested.remove_prefix(slash + 1);
	// Text that is not UTF-8 (a server's raw bytes) is repaired first: no path can be made of it.
	std::string text = bw::utf8::replace_invalid(suggested);
	std::string name;
	for (std::size_t at = 0; at < text.size();) {
		char32_t c = bw::utf8::next_code_point(text, at).value_or(U'\ufffd');
		bool refused = invisible_or_control(c) || (c < 0x80 && std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos);
		bw::utf8::append_code_point(name, refused ? U'_' : c);
	}
	std::size_t first = name.find_first_not_of(". ");
	name.erase(0, first == std::string::npos ? name.size() : first);
	strip_trailing_dots_and_spaces(name);
	if (name.empty()) return "download";
	if (reserved_device_name(name)) name.insert(0, "_");
	if (name.size() > longest_name) {
		std::string_view whole = name;
		std::size_t dot = extension_start(whole);
		std::string_view extension = whole.substr(dot);
		if (extension.size() > 20) extension = {};
		name = std::string(cut(whole.substr(0, dot), longest_name - extension.size())) + std::string(extension);
		// The cut may end the name where Windows would drop what follows.
		strip_trailing_dots_and_spaces(name);
	}
	return name;
}

std::string unused_file_name(const std::string& name, const std::function<bool(const std::string&)>& taken) {
	if (!taken(name)) return name;
	std::size_t dot = extension_start(name);
	std::string stem = name.substr(0, dot), extension = name.substr(dot);
	for (unsigned number = 1;; number++) {
		std::string candidate = stem + " (" + std::to_string(number) + ")" + extension;
		if (!taken(candidate)) return candidate;
	}
}

} // namespace tarnwick
