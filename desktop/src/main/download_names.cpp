#include "download_names.hpp"

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

bool reserved_device_name(std::string_view name) {
	std::string stem(name.substr(0, name.find('.')));
	for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
	static constexpr std::array<std::string_view, 6> plain{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
	if (std::find(plain.begin(), plain.end(), stem) != plain.end()) return true;
	return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
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
	std::string name;
	for (char c : suggested) {
		unsigned char byte = static_cast<unsigned char>(c);
		bool refused = byte < 0x20 || byte == 0x7F || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
		name += refused ? '_' : c;
	}
	std::size_t first = name.find_first_not_of(". ");
	name.erase(0, first == std::string::npos ? name.size() : first);
	while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
	if (name.empty()) return "download";
	if (reserved_device_name(name)) name.insert(0, "_");
	if (name.size() > longest_name) {
		std::string_view whole = name;
		std::size_t dot = extension_start(whole);
		std::string_view extension = whole.substr(dot);
		if (extension.size() > 20) extension = {};
		name = std::string(cut(whole.substr(0, dot), longest_name - extension.size())) + std::string(extension);
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
