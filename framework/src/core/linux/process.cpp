#include "core/process.hpp"

#include "core/utf8.hpp"

#include <fstream>
#include <iterator>
#include <system_error>

namespace bw::process {

std::vector<std::string> arguments() {
	std::ifstream file("/proc/self/cmdline", std::ios::binary);
	std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
	std::vector<std::string> result;
	// NUL-separated, each argument NUL-terminated.
	for (std::size_t start = 0; start < all.size();) {
		std::size_t end = all.find('\0', start);
		if (end == std::string::npos) end = all.size();
		result.push_back(utf8::replace_invalid(std::string_view(all).substr(start, end - start)));
		start = end + 1;
	}
	return result;
}

std::optional<std::filesystem::path> executable_path() {
	std::error_code error;
	auto path = std::filesystem::read_symlink("/proc/self/exe", error);
	if (error) return std::nullopt;
	return path;
}

std::optional<std::string> path_to_utf8(const std::filesystem::path& path) {
	if (!utf8::is_valid(path.native())) return std::nullopt;
	return path.native();
}

std::string path_to_utf8_lossy(const std::filesystem::path& path) { return utf8::replace_invalid(path.native()); }

} // namespace bw::process
