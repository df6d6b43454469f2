#include "listener_closings.hpp"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnwick {

namespace {

// The kernel's socket diagnostics announce every TCP socket it destroys to the members of a group.
// A filter in the kernel passes only listeners on the wanted ports (a local port, no remote one),
// so connections opening and closing elsewhere never wake the watcher.
void attach_filter(int netlink, const std::vector<uint16_t>& ports) {
	constexpr uint32_t source_port = sizeof(nlmsghdr) + offsetof(inet_diag_msg, id) + offsetof(inet_diag_sockid, idiag_sport);
	constexpr uint32_t remote_port = sizeof(nlmsghdr) + offsetof(inet_diag_msg, id) + offsetof(inet_diag_sockid, idiag_dport);
	std::vector<sock_filter> code{BPF_STMT(BPF_LD | BPF_H | BPF_ABS, remote_port), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 0),
	                              BPF_STMT(BPF_LD | BPF_H | BPF_ABS, source_port)};
	// A remote port other than 0 jumps past the port tests to the drop; a port that matches jumps to
	// the pass after it.
	code[1].jf = static_cast<uint8_t>(ports.size() + 1);
	for (std::size_t i = 0; i < ports.size(); i++)
		code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ports[i], static_cast<uint8_t>(ports.size() - i), 0));
	code.push_back(BPF_STMT(BPF_RET | BPF_K, 0));
	code.push_back(BPF_STMT(BPF_RET | BPF_K, 0xFFFF));
	sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
	setsockopt(netlink, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

// Empties the socket; true when a closing was announced (or lost because too many were).
bool drain(int netlink, uint16_t* port_seen = nullptr) {
	alignas(nlmsghdr) char buffer[4096];
	bool announced = false;
	for (;;) {
		ssize_t length = recv(netlink, buffer, sizeof buffer, MSG_DONTWAIT);
		if (length < 0) return announced || errno == ENOBUFS;
		std::size_t left = static_cast<std::size_t>(length);
		for (auto* header = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(header, left); header = NLMSG_NEXT(header, left)) {
			if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY) continue;
			announced = true;
			if (port_seen) *port_seen = ntohs(static_cast<const inet_diag_msg*>(NLMSG_DATA(header))->id.idiag_sport);
		}
	}
}

// Whether the kernel really announces closings here (a sandbox may accept the membership and stay
// silent): a listener of our own is closed and must be announced.
bool announces(int netlink, uint16_t port) {
	int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (listener < 0) return false;
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t size = sizeof address;
	if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || listen(listener, 1) < 0 ||
	    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) < 0) {
		close(listener);
		return false;
	}
	uint16_t trial = ntohs(address.sin_port);
	attach_filter(netlink, {port, trial});
	close(listener);
	bool seen = false;
	for (int round = 0; round < 2 && !seen; round++) {
		pollfd ready{netlink, POLLIN, 0};
		if (poll(&ready, 1, 250) <= 0) break;
		uint16_t port_seen = 0;
		drain(netlink, &port_seen);
		seen = port_seen == trial;
	}
	attach_filter(netlink, {port});
	return seen;
}

int subscribe(uint16_t port) {
	int netlink = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
	if (netlink < 0) return -1;
	sockaddr_nl self{};
	self.nl_family = AF_NETLINK;
	bool joined = bind(netlink, reinterpret_cast<sockaddr*>(&self), sizeof self) == 0;
	for (int group : {SKNLGRP_INET_TCP_DESTROY, SKNLGRP_INET6_TCP_DESTROY})
		joined = joined && setsockopt(netlink, SOL_NETLINK, NETLINK_ADD_MEMBERSHIP, &group, sizeof group) == 0;
	if (!joined || !announces(netlink, port)) {
		close(netlink);
		return -1;
	}
	return netlink;
}

} // namespace

struct ListenerClosings::Impl {
	uint16_t port;
	int netlink = -1;
	int interrupted = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	int woken = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

ListenerClosings::ListenerClosings(uint16_t port) : impl_(std::make_unique<Impl>(Impl{port})) {}

void ListenerClosings::begin() {
	if (impl_->netlink < 0) impl_->netlink = subscribe(impl_->port);
}

ListenerClosings::~ListenerClosings() {
	if (impl_->netlink >= 0) close(impl_->netlink);
	if (impl_->interrupted >= 0) close(impl_->interrupted);
	if (impl_->woken >= 0) close(impl_->woken);
}

bool ListenerClosings::told() const { return impl_->netlink >= 0 && impl_->interrupted >= 0; }

bool ListenerClosings::wait(std::chrono::milliseconds period, std::chrono::milliseconds longest) {
	pollfd ready[3] = {{impl_->interrupted, POLLIN, 0}, {impl_->woken, POLLIN, 0}, {impl_->netlink, POLLIN, 0}};
	for (;;) {
		int count = poll(ready, told() ? 3 : 2, static_cast<int>(told() ? longest.count() : std::min(period, longest).count()));
		if (count < 0 && errno == EINTR) continue;
		if (ready[0].revents != 0) return false;
		if (ready[1].revents != 0) {
			eventfd_t ignored = 0;
			(void)eventfd_read(impl_->woken, &ignored);
			return true;
		}
		if (count <= 0) return true;
		// Ready with nothing to read is a socket gone bad: from here on the period is waited out.
		if (!drain(impl_->netlink)) {
			close(impl_->netlink);
			impl_->netlink = -1;
		}
		return true;
	}
}

void ListenerClosings::interrupt() {
	if (impl_->interrupted >= 0) (void)eventfd_write(impl_->interrupted, 1);
}

void ListenerClosings::wake() {
	if (impl_->woken >= 0) (void)eventfd_write(impl_->woken, 1);
}

} // namespace tarnwick
