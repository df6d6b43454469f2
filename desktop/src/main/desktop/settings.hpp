// The launcher's settings: `key=value` lines in one file of the user's configuration folder, read
// once at start and written whole on each change. A change is written to a new file that is then
// renamed over the old one, so a crash in the middle leaves the old file or the new, never half of
// one. Keys this version does not know are kept as they were; lines that are not `key=value` are
// logged and dropped.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class Settings {
public:
	static constexpr std::string_view keep_running_when_closed = "keep_running_when_closed";

	// Missing or unreadable: no settings. Bad lines are logged, with the file's name and the line's number.
	static Settings load(std::filesystem::path file);
	static Settings parse(std::string_view text, std::vector<std::string>* bad_lines = nullptr);
	std::string format() const;

	std::optional<std::string> get(std::string_view key) const;
	bool flag(std::string_view key) const { return get(key) == "1"; }
	// Sets the key and writes the file at once; false (and logged) when it could not be written.
	bool set(std::string_view key, std::string value);
	bool set_flag(std::string_view key, bool on) { return set(key, on ? "1" : "0"); }

private:
	bool save() const;

	std::filesystem::path file_;
	std::vector<std::pair<std::string, std::string>> entries_;
};

} // namespace tarnwick
