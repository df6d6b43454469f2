#include "daemon/system.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace tarnwick::daemon::system {

namespace {

// The kernel keeps at most this many bytes of a process name (TASK_COMM_LEN − 1).
constexpr std::size_t name_limit = 15;

// Reads the start of "/proc/<pid>/<file>" into the buffer; 0 when the process is gone or hidden.
std::size_t read_start(int proc, const char* pid, const char* file, char* buffer, std::size_t size) {
	char path[300];
	std::snprintf(path, sizeof path, "%s/%s", pid, file);
	int descriptor = openat(proc, path, O_RDONLY | O_CLOEXEC);
	if (descriptor < 0) return 0;
	ssize_t length = read(descriptor, buffer, size);
	close(descriptor);
	return length > 0 ? static_cast<std::size_t>(length) : 0;
}

// A name of the full 15 bytes may be cut short; the executable's file name is the whole name when
// it begins with the cut one. Other users' executables cannot be read: the cut name stays.
std::string_view full_name(int proc, const char* pid, std::string_view name, char (&buffer)[4096]) {
	char path[300];
	std::snprintf(path, sizeof path, "%s/exe", pid);
	ssize_t length = readlinkat(proc, path, buffer, sizeof buffer);
	if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return name;
	std::string_view file(buffer, static_cast<std::size_t>(length));
	file = file.substr(file.rfind('/') + 1);
	return file.size() > name.size() && file.starts_with(name) ? file : name;
}

// "/proc/<pid>/stat" begins "<pid> (<name>) <state> "; the name may hold ')' but nothing after it does.
bool has_ended(int proc, const char* pid) {
	char buffer[64];
	std::string_view stat(buffer, read_start(proc, pid, "stat", buffer, sizeof buffer));
	auto name_end = stat.rfind(')');
	if (name_end == std::string_view::npos || name_end + 2 >= stat.size()) return true;
	return stat[name_end + 2] == 'Z' || stat[name_end + 2] == 'X';
}

} // namespace

// One small read per process, of "comm", the cheapest file that holds the name. Only a process that
// ends the visit is checked for having ended: a zombie daemon serves nobody.
bool visit_processes(const std::function<bool(std::uint64_t id, std::string_view name)>& visit) {
	DIR* directory = opendir("/proc");
	if (directory == nullptr) return false;
	int proc = dirfd(directory);
	bool found = false;
	while (const dirent* entry = readdir(directory)) {
		char* end = nullptr;
		unsigned long long pid = std::strtoull(entry->d_name, &end, 10);
		if (end == entry->d_name || *end != '\0') continue;
		char buffer[64];
		std::size_t length = read_start(proc, entry->d_name, "comm", buffer, sizeof buffer);
		if (length == 0) continue;
		std::string_view name(buffer, buffer[length - 1] == '\n' ? length - 1 : length);
		char target[4096];
		if (name.size() == name_limit) name = full_name(proc, entry->d_name, name, target);
		if (visit(pid, name) && !has_ended(proc, entry->d_name)) {
			found = true;
			break;
		}
	}
	closedir(directory);
	return found;
}

} // namespace tarnwick::daemon::system
