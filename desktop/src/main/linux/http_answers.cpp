// The daemon's HTTP answer, asked with one socket and poll: the watch asks every few seconds for as
// long as the window is open, and each system call of an event loop made for one request (an
// epoll set, its eventfd and timer, their registrations) is CPU time of an idle window.
#include "address_probe.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the events until the deadline; false when they did not come.
bool wait_for(int socket, short events, Clock::time_point deadline) {
	for (;;) {
		auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
		if (left <= 0) return false;
		pollfd ready{socket, events, 0};
		int got = poll(&ready, 1, static_cast<int>(left));
		if (got > 0) return (ready.revents & (events | POLLHUP | POLLERR)) != 0;
		if (got < 0 && errno != EINTR) return false;
	}
}

bool ask(int socket, const sockaddr* target, socklen_t length, const std::string& request, Clock::time_point deadline) {
	if (connect(socket, target, length) != 0) {
		if (errno != EINPROGRESS || !wait_for(socket, POLLOUT, deadline)) return false;
		int error = 0;
		socklen_t size = sizeof error;
		if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
	}
	if (send(socket, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return false;
	char status[5];
	std::size_t have = 0;
	while (have < sizeof status) {
		if (!wait_for(socket, POLLIN, deadline)) return false;
		ssize_t got = recv(socket, status + have, sizeof status - have, 0);
		if (got <= 0) {
			if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
			return false;
		}
		have += static_cast<std::size_t>(got);
	}
	return std::string_view(status, sizeof status) == "HTTP/";
}

} // namespace

bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	auto deadline = Clock::now() + timeout;
	sockaddr_in v4{};
	sockaddr_in6 v6{};
	const sockaddr* target = nullptr;
	socklen_t length = 0;
	if (inet_pton(AF_INET, address.host.c_str(), &v4.sin_addr) == 1) {
		v4.sin_family = AF_INET;
		v4.sin_port = htons(address.port);
		target = reinterpret_cast<const sockaddr*>(&v4);
		length = sizeof v4;
	} else if (inet_pton(AF_INET6, address.host.c_str(), &v6.sin6_addr) == 1) {
		v6.sin6_family = AF_INET6;
		v6.sin6_port = htons(address.port);
		target = reinterpret_cast<const sockaddr*>(&v6);
		length = sizeof v6;
	} else {
		return false;
	}
	int socket = ::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
	if (socket < 0) return false;
	bool answered = ask(socket, target, length, http_head_request(address), deadline);
	close(socket);
	return answered;
}

} // namespace tarnwick
