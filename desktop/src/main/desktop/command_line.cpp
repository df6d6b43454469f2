#include "command_line.hpp"

#include <array>
#include <utility>

namespace tarnwick::command_line {

namespace {

struct Option {
	std::string_view name;
	Verb verb;
};

constexpr std::array<Option, 7> options{{{"--help", Verb::Help},
                                         {"--version", Verb::Version},
                                         {"--minimized", Verb::Minimized},
                                         {"--show", Verb::Show},
                                         {"--toggle", Verb::Toggle},
                                         {"--open", Verb::Open},
                                         {"--quit", Verb::Quit}}};

// The channel's words; Start is a plain "raise", as launches have always asked.
constexpr std::array<std::pair<Verb, std::string_view>, 6> words{{{Verb::Start, "raise"},
                                                                   {Verb::Minimized, "minimized"},
                                                                   {Verb::Show, "show"},
                                                                   {Verb::Toggle, "toggle"},
                                                                   {Verb::Open, "open"},
                                                                   {Verb::Quit, "quit"}}};

Parsed refused(std::string error) { return Parsed{std::nullopt, std::move(error)}; }

} // namespace

bool allowed_open_path(std::string_view path) {
	if (path.size() < 1 || path.size() > longest_request - 16 || path[0] != '/' || path.starts_with("//")) return false;
	for (char c : path) {
		auto byte = static_cast<unsigned char>(c);
		if (byte <= 0x20 || byte == 0x7F || c == '\\') return false;
	}
	return true;
}

Parsed parse(const std::vector<std::string>& arguments) {
	Command command;
	bool given = false;
	for (std::size_t i = 0; i < arguments.size(); i++) {
		const std::string& argument = arguments[i];
		const Option* option = nullptr;
		for (const Option& known : options)
			if (argument == known.name) option = &known;
		if (option == nullptr) return refused("unknown option: " + argument);
		if (given) return refused("only one option at a time: " + argument);
		given = true;
		command.verb = option->verb;
		if (option->verb != Verb::Open) continue;
		if (i + 1 >= arguments.size()) return refused("--open needs a path");
		command.path = arguments[++i];
		if (!allowed_open_path(command.path))
			return refused("--open takes a path on the daemon's address, beginning with one '/' (such as /a/b?x=1), not: " + command.path);
	}
	return Parsed{command, {}};
}

std::string usage() {
	return "Usage: tarnwick_desktop [--help | --version | --minimized | --show | --toggle | --open PATH | --quit]\n"
	       "\n"
	       "Shows the Tarnwick daemon's interface in a window, starting the daemon when it does not run.\n"
	       "A launcher that runs already is asked to do what the option says.\n"
	       "\n"
	       "  --help         this text\n"
	       "  --version      the program's and the browser engine's versions\n"
	       "  --minimized    start without showing the window when the status icon is shown\n"
	       "  --show         show and raise the window\n"
	       "  --toggle       hide the window when it is shown, show it when it is hidden\n"
	       "  --open PATH    show the daemon's page PATH (such as /a/b?x=1)\n"
	       "  --quit         end the running launcher (the daemon keeps running)\n";
}

std::string request_of(const Command& command) {
	for (const auto& [verb, word] : words)
		if (verb == command.verb) return std::string(word) + (verb == Verb::Open ? " " + command.path : "") + "\n";
	return "raise\n";
}

std::optional<Command> command_of_request(std::string_view line) {
	if (line.size() > longest_request || !line.ends_with('\n')) return std::nullopt;
	line.remove_suffix(1);
	std::string_view word = line.substr(0, line.find(' '));
	for (const auto& [verb, known] : words) {
		if (word != known) continue;
		if (verb != Verb::Open) return word.size() == line.size() ? std::optional<Command>(Command{verb, {}}) : std::nullopt;
		std::string_view path = line.size() > word.size() ? line.substr(word.size() + 1) : std::string_view{};
		if (!allowed_open_path(path)) return std::nullopt;
		return Command{verb, std::string(path)};
	}
	return std::nullopt;
}

} // namespace tarnwick::command_line
