#include "private_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::private_files {

bool make_folder(const std::filesystem::path& folder) {
	std::filesystem::path made;
	for (const auto& part : folder) {
		made /= part;
		if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return false;
	}
	// A link the user made to a folder elsewhere is followed, and that folder left as it is.
	struct stat info {};
	if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
	if (lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) != 0) chmod(folder.c_str(), 0700);
	return true;
}

bool make_file(const std::filesystem::path& file) {
	int descriptor = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
	if (descriptor < 0) return false;
	bool closed = fchmod(descriptor, 0600) == 0;
	close(descriptor);
	return closed;
}

} // namespace tarnwick::private_files
