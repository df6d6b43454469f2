// The folders lie under the user's profile (%APPDATA%, %LOCALAPPDATA%), whose access list new
// folders and files inherit: the user's, the system's and the administrators' alone.
#include "private_files.hpp"

#include <fstream>
#include <system_error>

namespace tarnwick::private_files {

bool make_folder(const std::filesystem::path& folder) {
	std::error_code error;
	std::filesystem::create_directories(folder, error);
	return std::filesystem::is_directory(folder, error);
}

bool make_file(const std::filesystem::path& file) {
	std::error_code error;
	if (std::filesystem::is_regular_file(file, error)) return true;
	return std::ofstream(file, std::ios::binary | std::ios::app).is_open();
}

} // namespace tarnwick::private_files
