#include "daemon/system.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace tarnwick::daemon::system {

namespace {

// The kernel keeps at most this many bytes of a process name (TASK_COMM_LEN − 1).
constexpr std::size_t name_limit = 15;

// The name from "/proc/<pid>/stat", which begins "<pid> (<name>) <state> ". Nothing when the process
// is gone, or has ended and only waits to be collected: a zombie daemon serves nobody.
std::optional<std::string> read_name(int proc, const char* pid) {
	char path[300];
	std::snprintf(path, sizeof path, "%s/stat", pid);
	int file = openat(proc, path, O_RDONLY | O_CLOEXEC);
	if (file < 0) return std::nullopt;
	// Enough for the name and the state; the name may hold ')' but nothing after it does.
	char buffer[64];
	ssize_t length = read(file, buffer, sizeof buffer);
	close(file);
	if (length <= 0) return std::nullopt;
	std::string_view stat(buffer, static_cast<std::size_t>(length));
	auto name_start = stat.find('(');
	auto name_end = stat.rfind(')');
	if (name_start == std::string_view::npos || name_end == std::string_view::npos || name_end < name_start || name_end + 2 >= stat.size()) {
		return std::nullopt;
	}
	char state = stat[name_end + 2];
	if (state == 'Z' || state == 'X') return std::nullopt;
	return std::string(stat.substr(name_start + 1, name_end - name_start - 1));
}

// A name of the full 15 bytes may be cut short; the executable's file name is the whole name when
// it begins with the cut one. Other users' executables cannot be read: the cut name stays.
std::string full_name(int proc, const char* pid, std::string name) {
	char path[300];
	std::snprintf(path, sizeof path, "%s/exe", pid);
	char target[4096];
	ssize_t length = readlinkat(proc, path, target, sizeof target);
	if (length <= 0 || static_cast<std::size_t>(length) == sizeof target) return name;
	std::string_view file(target, static_cast<std::size_t>(length));
	file = file.substr(file.rfind('/') + 1);
	if (file.size() > name.size() && file.starts_with(name)) return std::string(file);
	return name;
}

} // namespace

std::vector<ProcessEntry> process_snapshot() {
	std::vector<ProcessEntry> entries;
	DIR* proc = opendir("/proc");
	if (proc == nullptr) return entries;
	while (const dirent* entry = readdir(proc)) {
		char* end = nullptr;
		unsigned long long pid = std::strtoull(entry->d_name, &end, 10);
		if (end == entry->d_name || *end != '\0') continue;
		auto name = read_name(dirfd(proc), entry->d_name);
		if (!name) continue;
		if (name->size() == name_limit) name = full_name(dirfd(proc), entry->d_name, std::move(*name));
		entries.push_back({pid, std::move(*name)});
	}
	closedir(proc);
	return entries;
}

} // namespace tarnwick::daemon::system
