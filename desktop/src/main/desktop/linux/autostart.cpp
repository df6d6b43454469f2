// The entry is a desktop entry in the user's autostart folder, written to a new file renamed over
// the old. Exec quotes the program's absolute path as desktop entries quote arguments: inside the
// quotes `"`, `` ` ``, `$` and `\` take a backslash, and the file's own escaping doubles each backslash.
#include "desktop/autostart.hpp"

#include "launcher_log.hpp"
#include "user_folders.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace tarnwick::autostart {

namespace {

std::filesystem::path entry_file() { return user_folders::config().parent_path() / "autostart" / "tarnwick.desktop"; }

std::string read(const std::filesystem::path& file) {
	std::ifstream stream(file, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>{});
}

std::optional<std::string> value_of(const std::string& text, std::string_view key) {
	std::size_t at = 0;
	while (at < text.size()) {
		std::size_t end = text.find('\n', at);
		std::string_view line(text.data() + at, (end == std::string::npos ? text.size() : end) - at);
		if (line.starts_with(key) && line.size() > key.size() && line[key.size()] == '=') return std::string(line.substr(key.size() + 1));
		if (end == std::string::npos) break;
		at = end + 1;
	}
	return std::nullopt;
}

std::string quoted(const std::string& path) {
	std::string argument = "\"";
	for (char c : path) {
		if (c == '"' || c == '`' || c == '$' || c == '\\') argument += "\\";
		argument += c;
	}
	argument += "\"";
	// The file's string escaping comes on top.
	std::string escaped;
	for (char c : argument) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
	return escaped;
}

// The program an Exec line starts: its first argument, unquoted.
std::string program_of(const std::string& exec) {
	std::string unescaped;
	for (std::size_t i = 0; i < exec.size(); i++) {
		if (exec[i] == '\\' && i + 1 < exec.size()) {
			char next = exec[++i];
			unescaped += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
		} else {
			unescaped += exec[i];
		}
	}
	std::string program;
	if (unescaped.starts_with('"')) {
		for (std::size_t i = 1; i < unescaped.size() && unescaped[i] != '"'; i++) program += unescaped[i] == '\\' && i + 1 < unescaped.size() ? unescaped[++i] : unescaped[i];
		return program;
	}
	return unescaped.substr(0, unescaped.find(' '));
}

std::string entry_for(const std::filesystem::path& program) {
	return "[Desktop Entry]\n"
	       "Type=Application\n"
	       "Name=Tarnwick\n"
	       "Comment=Start Tarnwick at login, with its window hidden when the status icon is shown\n"
	       "Exec=" + quoted(program.string()) + " --minimized\n"
	       "Icon=tarnwick\n"
	       "Terminal=false\n"
	       "X-GNOME-Autostart-enabled=true\n";
}

bool write(const std::filesystem::path& program) {
	std::filesystem::path file = entry_file();
	std::filesystem::path temporary = file;
	temporary += ".new";
	std::error_code error;
	std::filesystem::create_directories(file.parent_path(), error);
	{
		std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
		stream << entry_for(program);
		stream.flush();
		if (!stream) {
			std::filesystem::remove(temporary, error);
			return false;
		}
	}
	chmod(temporary.c_str(), 0644);
	std::filesystem::rename(temporary, file, error);
	if (!error) return true;
	std::filesystem::remove(temporary, error);
	return false;
}

} // namespace

bool enabled() {
	std::string text = read(entry_file());
	if (text.empty()) return false;
	return value_of(text, "Hidden") != "true" && value_of(text, "X-GNOME-Autostart-enabled") != "false";
}

bool set(bool on, const std::filesystem::path& program) {
	std::error_code error;
	bool done = on ? write(program) : (std::filesystem::remove(entry_file(), error), !std::filesystem::exists(entry_file(), error));
	launcher_log::write(done ? std::string(on ? "start at login: wrote " : "start at login: removed ") + entry_file().string()
	                         : std::string("start at login: cannot ") + (on ? "write " : "remove ") + entry_file().string());
	return done;
}

void repair(const std::filesystem::path& program) {
	std::string text = read(entry_file());
	std::optional<std::string> exec = value_of(text, "Exec");
	if (!exec || !enabled()) return;
	std::string started = program_of(*exec);
	if (access(started.c_str(), X_OK) == 0) return;
	launcher_log::write("start at login: the entry starts " + started + ", which no longer exists; rewritten to " + program.string());
	if (!write(program)) launcher_log::write("start at login: cannot rewrite " + entry_file().string());
}

} // namespace tarnwick::autostart
