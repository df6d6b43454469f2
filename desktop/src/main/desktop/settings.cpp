#include "settings.hpp"

#include "launcher_log.hpp"
#include "private_files.hpp"

#include "core/process.hpp"

#include <fstream>
#include <iterator>

namespace tarnwick {

namespace {

bool valid_key(std::string_view key) {
	if (key.empty()) return false;
	for (char c : key)
		if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.')) return false;
	return true;
}

bool valid_value(std::string_view value) {
	for (char c : value)
		if (c == '\n' || c == '\r' || c == '\0') return false;
	return true;
}

} // namespace

Settings Settings::parse(std::string_view text, std::vector<std::string>* bad_lines) {
	Settings settings;
	std::size_t number = 0;
	while (!text.empty()) {
		std::size_t end = text.find('\n');
		std::string_view line = text.substr(0, end);
		text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
		number++;
		if (line.ends_with('\r')) line.remove_suffix(1);
		if (line.empty() || line.starts_with('#')) continue;
		std::size_t equals = line.find('=');
		std::string_view key = line.substr(0, equals);
		if (equals == std::string_view::npos || !valid_key(key) || !valid_value(line.substr(equals + 1))) {
			if (bad_lines != nullptr) bad_lines->push_back("line " + std::to_string(number));
			continue;
		}
		std::string value(line.substr(equals + 1));
		bool replaced = false;
		for (auto& entry : settings.entries_)
			if (entry.first == key) {
				entry.second = value;
				replaced = true;
			}
		if (!replaced) settings.entries_.emplace_back(std::string(key), std::move(value));
	}
	return settings;
}

Settings Settings::load(std::filesystem::path file) {
	std::ifstream stream(file, std::ios::binary);
	std::string text(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>{});
	std::vector<std::string> bad;
	Settings settings = parse(text, &bad);
	for (const std::string& line : bad) launcher_log::write("ignored " + line + " of " + bw::process::path_to_utf8_lossy(file) + ": not key=value");
	settings.file_ = std::move(file);
	return settings;
}

std::string Settings::format() const {
	std::string text;
	for (const auto& [key, value] : entries_) text += key + "=" + value + "\n";
	return text;
}

std::optional<std::string> Settings::get(std::string_view key) const {
	for (const auto& [known, value] : entries_)
		if (known == key) return value;
	return std::nullopt;
}

bool Settings::set(std::string_view key, std::string value) {
	if (!valid_key(key) || !valid_value(value)) return false;
	bool found = false;
	for (auto& entry : entries_)
		if (entry.first == key) {
			entry.second = value;
			found = true;
		}
	if (!found) entries_.emplace_back(std::string(key), std::move(value));
	if (save()) return true;
	launcher_log::write("cannot write the settings to " + bw::process::path_to_utf8_lossy(file_));
	return false;
}

bool Settings::save() const {
	if (file_.empty()) return false;
	std::error_code error;
	std::filesystem::path temporary = file_;
	temporary += ".new";
	if (!private_files::make_folder(file_.parent_path()) || !private_files::make_file(temporary)) return false;
	{
		std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
		stream << format();
		stream.flush();
		if (!stream) {
			stream.close();
			std::filesystem::remove(temporary, error);
			return false;
		}
	}
	std::filesystem::rename(temporary, file_, error);
	if (!error) return true;
	std::filesystem::remove(temporary, error);
	return false;
}

} // namespace tarnwick
