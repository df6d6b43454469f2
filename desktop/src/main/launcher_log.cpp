#include "launcher_log.hpp"

#include "private_files.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>

namespace tarnwick::launcher_log {

namespace {

constexpr std::uintmax_t rotate_at = 256 * 1024;

struct Log {
	std::mutex mutex;
	std::filesystem::path path;
	std::ofstream file;
};

Log& log() {
	static Log instance;
	return instance;
}

// UTC to the millisecond. Called under the log's lock, which gmtime's shared result needs.
std::string timestamp() {
	auto now = std::chrono::system_clock::now();
	std::time_t seconds = std::chrono::system_clock::to_time_t(now);
	auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
	char text[40] = "";
	if (const std::tm* utc = std::gmtime(&seconds)) {
		std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", utc);
		std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis));
	}
	return text;
}

// Another launcher (or the daemon, on Windows) may hold the file too: a failed rename keeps
// writing to the same file.
void rotate_if_full(Log& state) {
	std::error_code error;
	auto size = std::filesystem::file_size(state.path, error);
	if (error || size < rotate_at) return;
	state.file.close();
	std::filesystem::path old = state.path;
	old += ".1";
	std::filesystem::rename(state.path, old, error);
	private_files::make_file(state.path);
	state.file.open(state.path, std::ios::app | std::ios::binary);
}

} // namespace

void open(const std::filesystem::path& folder) {
	Log& state = log();
	std::lock_guard lock(state.mutex);
	private_files::make_folder(folder);
	std::filesystem::path path = folder / "launcher.log";
	private_files::make_file(path);
	state.file.open(path, std::ios::app | std::ios::binary);
	if (!state.file.is_open()) {
		std::fprintf(stderr, "tarnwick_desktop: cannot open the log %s\n", path.string().c_str());
		return;
	}
	state.path = path;
}

std::filesystem::path path() {
	std::lock_guard lock(log().mutex);
	return log().path;
}

void write(std::string_view line) {
	Log& state = log();
	std::lock_guard lock(state.mutex);
	std::fputs(("tarnwick_desktop: " + std::string(line) + "\n").c_str(), stderr);
	if (!state.file.is_open()) return;
	state.file << timestamp() << ' ' << line << '\n';
	state.file.flush();
	rotate_if_full(state);
}

std::string loggable(std::string_view url) {
	if (!url.starts_with("data:")) url = url.substr(0, url.find_first_of("?#"));
	std::string line(url.substr(0, 160));
	for (char& c : line)
		if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
	return url.size() > line.size() ? line + "..." : line;
}

} // namespace tarnwick::launcher_log
