// What the launcher is asked to do: its options, and the same words as the single-instance channel
// carries them to a launcher that runs already. The receiver parses them again with the same rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::command_line {

enum class Verb {
	// No option: start, or show and raise the launcher that runs.
	Start,
	Help,
	Version,
	// Start without showing the window where a status icon is shown; nothing for a running one.
	Minimized,
	Show,
	Toggle,
	// Show a page of the daemon's: the path on its origin.
	Open,
	Quit,
};

struct Command {
	Verb verb = Verb::Start;
	// The path of Open.
	std::string path;
	bool operator==(const Command&) const = default;
};

struct Parsed {
	std::optional<Command> command;
	// Says what was wrong when there is no command.
	std::string error;
};

Parsed parse(const std::vector<std::string>& arguments);
std::string usage();

// A path that stays on the daemon's origin: one leading '/', never "//", no backslash, no control
// characters or spaces (scripts and desktop files pass URLs escaped).
bool allowed_open_path(std::string_view path);

// The longest line the channel carries; longer ones are ignored.
inline constexpr std::size_t longest_request = 2048;

// One line each: "raise", "minimized", "show", "toggle", "open <path>", "quit".
std::string request_of(const Command& command);
// The command a line asks for; nothing when it is malformed or asks for what only the caller does.
std::optional<Command> command_of_request(std::string_view line);

} // namespace tarnwick::command_line
