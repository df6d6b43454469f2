#include "translations.hpp"

#include "browser/user_languages.hpp"
#include "core/process.hpp"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <unordered_map>

namespace tarnwick::translations {

namespace {

struct Catalog {
	std::string language = "en";
	std::unordered_map<std::string, std::string> texts;
};

Catalog& catalog() {
	static Catalog loaded;
	return loaded;
}

// A compiled gettext catalog: a header, then two tables of (length, offset) pairs, one for the
// message ids and one for their translations, in either byte order.
std::optional<std::unordered_map<std::string, std::string>> read_mo(const std::filesystem::path& file) {
	std::ifstream in(file, std::ios::binary);
	if (!in) return std::nullopt;
	std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
	auto word = [&](std::size_t at, bool swapped) -> std::optional<uint32_t> {
		if (at > data.size() || data.size() - at < 4) return std::nullopt;
		auto byte = [&](std::size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(data[at + i])); };
		return swapped ? byte(3) | byte(2) << 8 | byte(1) << 16 | byte(0) << 24 : byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
	};
	std::optional<uint32_t> magic = word(0, false);
	if (!magic || (*magic != 0x950412de && *magic != 0xde120495)) return std::nullopt;
	bool swapped = *magic == 0xde120495;
	auto count = word(8, swapped), ids = word(12, swapped), translated = word(16, swapped);
	if (!count || !ids || !translated) return std::nullopt;
	auto string_at = [&](uint32_t table, uint32_t index) -> std::optional<std::string> {
		auto length = word(table + std::size_t{8} * index, swapped), offset = word(table + std::size_t{8} * index + 4, swapped);
		if (!length || !offset || *offset > data.size() || data.size() - *offset < *length) return std::nullopt;
		return data.substr(*offset, *length);
	};
	std::unordered_map<std::string, std::string> texts;
	for (uint32_t i = 0; i < *count; i++) {
		std::optional<std::string> id = string_at(*ids, i), text = string_at(*translated, i);
		if (!id || !text) return std::nullopt;
		// The header (the empty id) and untranslated entries are no translations.
		if (!id->empty() && !text->empty()) texts.emplace(std::move(*id), std::move(*text));
	}
	return texts;
}

} // namespace

void load(const std::vector<std::filesystem::path>& folders, const std::vector<std::string>& languages) {
	for (const std::string& tag : languages) {
		// "de-DE" is looked for as de_DE, then de.
		std::string name = tag;
		for (char& c : name)
			if (c == '-') c = '_';
		std::vector<std::string> names{name};
		if (std::size_t cut = name.find('_'); cut != std::string::npos) names.push_back(name.substr(0, cut));
		for (const std::string& each : names)
			for (const std::filesystem::path& folder : folders)
				if (auto texts = read_mo(folder / each / "LC_MESSAGES" / "tarnwick.mo")) {
					catalog() = Catalog{names.back(), std::move(*texts)};
					return;
				}
		// English has no catalog: its texts are the ids.
		if (names.back() == "en") break;
	}
	catalog() = Catalog{};
}

void load_for_user() {
	std::vector<std::filesystem::path> folders;
	if (std::optional<std::filesystem::path> program = bw::process::executable_path()) {
		folders.push_back(program->parent_path() / "locale");
		folders.push_back(program->parent_path().parent_path() / "share" / "locale");
	}
	load(folders, bw::user_languages());
}

std::string text(std::string_view english) {
	const auto& texts = catalog().texts;
	auto found = texts.find(std::string(english));
	return found != texts.end() ? found->second : std::string(english);
}

std::string language() { return catalog().language; }

} // namespace tarnwick::translations

namespace tarnwick {

std::string fill(std::string_view text, std::initializer_list<std::string_view> values) {
	std::string out;
	for (std::size_t i = 0; i < text.size(); i++) {
		if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
			auto index = static_cast<std::size_t>(text[i + 1] - '1');
			if (index < values.size()) {
				out += *(values.begin() + index);
				i++;
				continue;
			}
		}
		out += text[i];
	}
	return out;
}

} // namespace tarnwick
