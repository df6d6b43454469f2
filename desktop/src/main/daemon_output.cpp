#include "daemon_output.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tarnwick {

namespace {

// Enough for a few lines of an error; a daemon that printed megabytes is read from its end only.
constexpr std::uintmax_t tail_bytes = 4096;
constexpr std::size_t line_limit = 300;

} // namespace

std::uintmax_t prepare_daemon_output(const std::filesystem::path& file, std::uintmax_t limit) {
	std::error_code error;
	std::uintmax_t size = std::filesystem::file_size(file, error);
	if (error) return 0;
	if (size <= limit) return size;
	std::filesystem::path aside = file;
	aside += ".1";
	std::filesystem::rename(file, aside, error);
	return error ? size : 0;
}

bool keep_daemon_output_within(const std::filesystem::path& file, std::uintmax_t limit) {
	std::error_code error;
	std::uintmax_t size = std::filesystem::file_size(file, error);
	if (error || size <= limit) return false;
	std::filesystem::path aside = file;
	aside += ".1";
	// Copied, not renamed: the daemon keeps writing to the file it has open.
	if (!std::filesystem::copy_file(file, aside, std::filesystem::copy_options::overwrite_existing, error)) return false;
	std::filesystem::resize_file(file, 0, error);
	return !error;
}

std::vector<std::string> last_output_lines(const std::filesystem::path& file, std::uintmax_t from, std::size_t max_lines) {
	std::ifstream stream(file, std::ios::binary);
	std::error_code error;
	std::uintmax_t size = std::filesystem::file_size(file, error);
	// A file that shrank was moved aside and begun again: all of it is new.
	if (error || !stream) return {};
	if (size < from) from = 0;
	std::uintmax_t start = std::max(from, size > tail_bytes ? size - tail_bytes : 0);
	stream.seekg(static_cast<std::streamoff>(start));
	std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
	std::vector<std::string> lines;
	std::istringstream split(text);
	for (std::string line; std::getline(split, line);) {
		if (!line.empty() && line.back() == '\r') line.pop_back();
		for (char& c : line)
			if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
		if (line.find_first_not_of(' ') == std::string::npos) continue;
		if (line.size() > line_limit) line = line.substr(0, line_limit) + "...";
		lines.push_back(std::move(line));
	}
	if (lines.size() > max_lines) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(max_lines));
	return lines;
}

} // namespace tarnwick
