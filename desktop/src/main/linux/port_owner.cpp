#include "port_owner.hpp"

#include "daemon/daemon.hpp"
#include "daemon/linux/user_accounts.hpp"

#include <dirent.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tarnwick {

namespace {

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

std::string comm_of(const char* pid) {
	std::ifstream comm(std::string("/proc/") + pid + "/comm");
	std::string name;
	std::getline(comm, name);
	return name;
}

bool holds_socket(const std::string& pid, const std::string& wanted) {
	DIR* descriptors = opendir(("/proc/" + pid + "/fd").c_str());
	if (descriptors == nullptr) return false;
	bool holds = false;
	while (const dirent* descriptor = readdir(descriptors)) {
		char target[64];
		ssize_t length = readlinkat(dirfd(descriptors), descriptor->d_name, target, sizeof target);
		if (length > 0 && std::string_view(target, static_cast<std::size_t>(length)) == wanted) {
			holds = true;
			break;
		}
	}
	closedir(descriptors);
	return holds;
}

// The process holding the socket: the likely ones first, then every process of the socket's user
// (only the user's own processes' descriptors can be read, or all of them by root); 0 when none.
std::uint64_t holder_of(unsigned long inode, std::uint32_t uid, std::span<const std::uint64_t> look_first) {
	const std::string wanted = "socket:[" + std::to_string(inode) + "]";
	for (std::uint64_t pid : look_first)
		if (holds_socket(std::to_string(pid), wanted)) return pid;
	// Reading a process's descriptors costs far more than its name: processes named like the daemon
	// are looked into first.
	for (bool named_only : {true, false}) {
		DIR* proc = opendir("/proc");
		if (proc == nullptr) return 0;
		std::uint64_t found = 0;
		while (const dirent* entry = readdir(proc)) {
			char* end = nullptr;
			unsigned long long pid = std::strtoull(entry->d_name, &end, 10);
			if (end == entry->d_name || *end != '\0') continue;
			struct stat info {};
			if (fstatat(dirfd(proc), entry->d_name, &info, 0) != 0 || info.st_uid != uid) continue;
			if (named_only != (comm_of(entry->d_name) == daemon::daemon_name)) continue;
			if (holds_socket(entry->d_name, wanted)) {
				found = pid;
				break;
			}
		}
		closedir(proc);
		if (found != 0) return found;
	}
	return 0;
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

struct Socket {
	std::uint32_t uid = 0;
	unsigned long inode = 0;
	bool loopback = false;
};

// Asks the kernel's socket diagnostics for the family's listeners on the port; tells each to found.
template <class Found> std::optional<bool> listeners(int netlink, int family, uint16_t port, Found found) {
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
	bool any = false;
	for (;;) {
		ssize_t length = recv(netlink, buffer, sizeof buffer, 0);
		if (length <= 0) return std::nullopt;
		std::size_t left = static_cast<std::size_t>(length);
		for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left); header = NLMSG_NEXT(header, left)) {
			if (header->nlmsg_type == NLMSG_DONE) return any;
			if (header->nlmsg_type == NLMSG_ERROR) return std::nullopt;
			const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
			if (ntohs(socket->id.idiag_sport) != port) continue;
			any = true;
			found(Socket{socket->idiag_uid, socket->idiag_inode, accepts_loopback(socket->idiag_family, socket->id.idiag_src)});
		}
	}
}

// Kept open by each asking thread: opening and closing it cost more than the question.
int diagnostics() {
	struct Netlink {
		int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
		~Netlink() {
			if (fd >= 0) close(fd);
		}
	};
	thread_local Netlink netlink;
	return netlink.fd;
}

// The listeners of both families, a loopback one first.
std::optional<Socket> listener_socket(uint16_t port) {
	int netlink = diagnostics();
	if (netlink < 0) return std::nullopt;
	std::optional<Socket> chosen;
	auto keep = [&](const Socket& socket) {
		if (!chosen || (socket.loopback && !chosen->loopback)) chosen = socket;
	};
	listeners(netlink, AF_INET, port, keep);
	listeners(netlink, AF_INET6, port, keep);
	return chosen;
}

} // namespace

std::optional<bool> loopback_port_listened(uint16_t port) {
	int netlink = diagnostics();
	if (netlink < 0) return std::nullopt;
	bool loopback = false;
	auto keep = [&](const Socket& socket) { loopback = loopback || socket.loopback; };
	std::optional<bool> answer = listeners(netlink, AF_INET, port, keep);
	if (answer && !loopback) answer = listeners(netlink, AF_INET6, port, keep);
	if (!answer) return std::nullopt;
	return loopback;
}

std::optional<PortListener> port_listener(uint16_t port, std::span<const std::uint64_t> look_first) {
	std::optional<Socket> socket = listener_socket(port);
	if (!socket) return std::nullopt;
	PortListener listener;
	listener.uid = socket->uid;
	listener.owner = daemon::system::owner_of_uid(socket->uid);
	if (listener.owner == daemon::Owner::OtherUser) listener.user_name = daemon::system::user_name(socket->uid);
	listener.pid = holder_of(socket->inode, socket->uid, look_first);
	if (listener.pid != 0) listener.name = program_name(std::to_string(listener.pid));
	return listener;
}

} // namespace tarnwick
