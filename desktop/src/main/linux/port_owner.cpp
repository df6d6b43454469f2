#include "port_owner.hpp"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnwick {

namespace {

constexpr const char* listening_state = "0A";

// The inode of a listening socket on the port in one of the kernel's tables ("/proc/net/tcp"):
// "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...", the local address
// as "<hex address>:<hex port>".
std::optional<unsigned long> listening_inode(const char* table, uint16_t port) {
	std::ifstream file(table);
	std::string line;
	std::getline(file, line);
	while (std::getline(file, line)) {
		std::istringstream fields(line);
		std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
		unsigned long inode = 0;
		if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode)) continue;
		auto colon = local.rfind(':');
		if (colon == std::string::npos || state != listening_state) continue;
		if (std::strtoul(local.c_str() + colon + 1, nullptr, 16) == port && inode != 0) return inode;
	}
	return std::nullopt;
}

std::string program_name(const std::string& pid) {
	char target[4096];
	ssize_t length = readlink(("/proc/" + pid + "/exe").c_str(), target, sizeof target);
	if (length > 0 && static_cast<std::size_t>(length) < sizeof target) {
		std::string path(target, static_cast<std::size_t>(length));
		return path.substr(path.rfind('/') + 1);
	}
	std::ifstream comm("/proc/" + pid + "/comm");
	std::string name;
	std::getline(comm, name);
	return name;
}

// Only the user's own processes' descriptors can be read; others are skipped.
PortListener owner_of(unsigned long inode) {
	const std::string wanted = "socket:[" + std::to_string(inode) + "]";
	DIR* proc = opendir("/proc");
	if (proc == nullptr) return {};
	PortListener found;
	while (const dirent* entry = readdir(proc)) {
		char* end = nullptr;
		unsigned long long pid = std::strtoull(entry->d_name, &end, 10);
		if (end == entry->d_name || *end != '\0') continue;
		std::string fd_folder = std::string("/proc/") + entry->d_name + "/fd";
		DIR* descriptors = opendir(fd_folder.c_str());
		if (descriptors == nullptr) continue;
		bool owns = false;
		while (const dirent* descriptor = readdir(descriptors)) {
			char target[64];
			ssize_t length = readlinkat(dirfd(descriptors), descriptor->d_name, target, sizeof target);
			if (length > 0 && std::string_view(target, static_cast<std::size_t>(length)) == wanted) {
				owns = true;
				break;
			}
		}
		closedir(descriptors);
		if (owns) {
			found = PortListener{pid, program_name(entry->d_name)};
			break;
		}
	}
	closedir(proc);
	return found;
}

} // namespace

std::optional<PortListener> port_listener(uint16_t port) {
	auto inode = listening_inode("/proc/net/tcp", port);
	if (!inode) inode = listening_inode("/proc/net/tcp6", port);
	if (!inode) return std::nullopt;
	return owner_of(*inode);
}

} // namespace tarnwick
