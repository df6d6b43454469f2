#include "port_owner.hpp"

#include <dirent.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
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

constexpr int tcp_listen_state = 10;

bool accepts_loopback(int family, const __be32* address) {
	auto loopback_v4 = [](__be32 word) { return (ntohl(word) >> 24) == 127; };
	if (family == AF_INET) return address[0] == 0 || loopback_v4(address[0]);
	bool zero_prefix = address[0] == 0 && address[1] == 0;
	// ::, ::1 and the IPv4-mapped loopback.
	if (zero_prefix && address[2] == 0) return address[3] == 0 || address[3] == htonl(1);
	return zero_prefix && address[2] == htonl(0xFFFF) && loopback_v4(address[3]);
}

// Asks the kernel's socket diagnostics for the family's listeners on the port.
std::optional<bool> listened(int netlink, int family, uint16_t port) {
	struct {
		nlmsghdr header;
		inet_diag_req_v2 request;
	} message{};
	message.header.nlmsg_len = sizeof message;
	message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
	message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
	message.request.sdiag_family = static_cast<__u8>(family);
	message.request.sdiag_protocol = IPPROTO_TCP;
	message.request.idiag_states = 1U << tcp_listen_state;
	message.request.id.idiag_sport = htons(port);
	sockaddr_nl kernel{};
	kernel.nl_family = AF_NETLINK;
	if (sendto(netlink, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) return std::nullopt;
	alignas(nlmsghdr) char buffer[8192];
	bool found = false;
	for (;;) {
		ssize_t length = recv(netlink, buffer, sizeof buffer, 0);
		if (length <= 0) return std::nullopt;
		std::size_t left = static_cast<std::size_t>(length);
		for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left); header = NLMSG_NEXT(header, left)) {
			if (header->nlmsg_type == NLMSG_DONE) return found;
			if (header->nlmsg_type == NLMSG_ERROR) return std::nullopt;
			const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
			if (ntohs(socket->id.idiag_sport) == port && accepts_loopback(socket->idiag_family, socket->id.idiag_src)) found = true;
		}
	}
}

} // namespace

std::optional<bool> loopback_port_listened(uint16_t port) {
	// Kept open by each asking thread: opening and closing it cost more than the question.
	struct Netlink {
		int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
		~Netlink() {
			if (fd >= 0) close(fd);
		}
	};
	thread_local Netlink netlink;
	if (netlink.fd < 0) return std::nullopt;
	std::optional<bool> answer = listened(netlink.fd, AF_INET, port);
	if (answer == false) answer = listened(netlink.fd, AF_INET6, port);
	return answer;
}

std::optional<PortListener> port_listener(uint16_t port) {
	auto inode = listening_inode("/proc/net/tcp", port);
	if (!inode) inode = listening_inode("/proc/net/tcp6", port);
	if (!inode) return std::nullopt;
	return owner_of(*inode);
}

} // namespace tarnwick
