#include "daemon/daemon_identity.hpp"
#include "daemon/linux/user_accounts.hpp"
#include "daemon/system.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnwick::daemon::system {

namespace {

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

std::string last_segment(std::string_view path) { return std::string(path.substr(path.rfind('/') + 1)); }

// "/proc/<pid>/stat" begins "<pid> (<name>) <state> <parent> "; the name may hold ')' but nothing
// after it does. Its name is the process name, cut to 15 bytes by the kernel.
bool read_stat(int proc, const char* pid, ProcessFacts& facts) {
	char buffer[256];
	std::string_view stat(buffer, read_start(proc, pid, "stat", buffer, sizeof buffer));
	auto name_start = stat.find('(');
	auto name_end = stat.rfind(')');
	if (name_start == std::string_view::npos || name_end == std::string_view::npos || name_end + 4 >= stat.size()) return false;
	facts.names.emplace_back(stat.substr(name_start + 1, name_end - name_start - 1));
	char state = stat[name_end + 2];
	facts.ended = state == 'Z' || state == 'X';
	facts.parent = std::strtoull(std::string(stat.substr(name_end + 4, 24)).c_str(), nullptr, 10);
	return true;
}

// The first argument's last segment, and the executable's file name (other users' cannot be read).
void read_other_names(int proc, const char* pid, ProcessFacts& facts) {
	char buffer[4096];
	std::size_t length = read_start(proc, pid, "cmdline", buffer, sizeof buffer - 1);
	if (length > 0) {
		buffer[length] = '\0';
		std::string first = last_segment(buffer);
		if (!first.empty()) facts.names.push_back(std::move(first));
	}
	char path[300];
	std::snprintf(path, sizeof path, "%s/exe", pid);
	ssize_t target = readlinkat(proc, path, buffer, sizeof buffer);
	if (target > 0 && static_cast<std::size_t>(target) < sizeof buffer) {
		std::string_view file(buffer, static_cast<std::size_t>(target));
		// A replaced executable reads "<path> (deleted)": its name is still the path's.
		if (file.ends_with(" (deleted)")) file.remove_suffix(10);
		facts.names.push_back(last_segment(file));
	}
}

// The effective user id from "/proc/<pid>/status" ("Uid:\t<real>\t<effective>\t...").
void read_owner(int proc, const char* pid, ProcessFacts& facts) {
	char buffer[2048];
	std::string_view status(buffer, read_start(proc, pid, "status", buffer, sizeof buffer));
	auto at = status.find("\nUid:");
	if (at == std::string_view::npos) return;
	char* end = nullptr;
	std::string fields(status.substr(at + 5, 64));
	std::strtoul(fields.c_str(), &end, 10);
	unsigned long effective = std::strtoul(end, &end, 10);
	auto uid = static_cast<std::uint32_t>(effective);
	facts.uid = uid;
	facts.owner = owner_of_uid(uid);
	if (facts.owner == Owner::OtherUser) facts.user_name = user_name(uid);
}

bool read_facts(int proc, const char* pid, ProcessFacts& facts, bool owner_always) {
	facts.pid = std::strtoull(pid, nullptr, 10);
	if (!read_stat(proc, pid, facts)) return false;
	read_other_names(proc, pid, facts);
	if (owner_always || named_like_daemon(facts)) read_owner(proc, pid, facts);
	return true;
}

} // namespace

bool visit_processes(const std::function<bool(const ProcessFacts& facts)>& visit) {
	DIR* directory = opendir("/proc");
	if (directory == nullptr) return false;
	int proc = dirfd(directory);
	bool found = false;
	while (const dirent* entry = readdir(directory)) {
		char* end = nullptr;
		std::strtoull(entry->d_name, &end, 10);
		if (end == entry->d_name || *end != '\0') continue;
		ProcessFacts facts;
		if (!read_facts(proc, entry->d_name, facts, false)) continue;
		if (visit(facts)) {
			found = true;
			break;
		}
	}
	closedir(directory);
	return found;
}

std::optional<ProcessFacts> process_facts(std::uint64_t pid) {
	int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (proc < 0) return std::nullopt;
	ProcessFacts facts;
	bool read = read_facts(proc, std::to_string(pid).c_str(), facts, true);
	close(proc);
	if (!read) return std::nullopt;
	return facts;
}

} // namespace tarnwick::daemon::system
