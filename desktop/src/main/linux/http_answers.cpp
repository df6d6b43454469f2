// The daemon's HTTP answer, asked with one socket and poll: the watch asks every few seconds for as
// long as the window is open, and each system call of an event loop made for one request (an
// epoll set, its eventfd and timer, their registrations) is CPU time of an idle window. For the
// same reason the watch keeps its connection open between asks.
#include "address_probe.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// An answer's head longer than this is not the daemon's.
constexpr std::size_t longest_head = 16 * 1024;

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

// A connected socket, or -1.
int connect_to(const DaemonAddress& address, Clock::time_point deadline) {
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
		return -1;
	}
	int socket = ::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
	if (socket < 0) return -1;
	if (connect(socket, target, length) != 0) {
		int error = 0;
		socklen_t size = sizeof error;
		if (errno != EINPROGRESS || !wait_for(socket, POLLOUT, deadline) || getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
			close(socket);
			return -1;
		}
	}
	return socket;
}

enum class Answer {
	// Nothing in time, or not HTTP.
	None,
	// The connection ended before any of an answer came.
	Ended,
	// Answered; the connection can take the next request.
	Answered,
	// Answered, and the connection cannot: the daemon ended it or wrote more than the answer's head.
	AnsweredOnce,
};

// Sends the request and reads the answer's head (a HEAD request's answer has nothing after it).
Answer ask(int socket, const std::string& request, Clock::time_point deadline) {
	if (send(socket, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return Answer::Ended;
	std::string head;
	char chunk[1024];
	std::size_t end = std::string::npos;
	while ((end = head.find("\r\n\r\n")) == std::string::npos) {
		if (head.size() > longest_head || !wait_for(socket, POLLIN, deadline)) return Answer::None;
		ssize_t got = recv(socket, chunk, sizeof chunk, 0);
		if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
		if (got <= 0) return head.empty() ? Answer::Ended : head.starts_with("HTTP/") ? Answer::AnsweredOnce : Answer::None;
		head.append(chunk, static_cast<std::size_t>(got));
	}
	if (!head.starts_with("HTTP/")) return Answer::None;
	return end + 4 == head.size() ? Answer::Answered : Answer::AnsweredOnce;
}

// Whether a kept connection can take the next request: not closed by the daemon (its limit for
// idle connections) and holding nothing unasked for.
bool still_usable(int socket) {
	char stray;
	ssize_t got = recv(socket, &stray, 1, MSG_PEEK | MSG_DONTWAIT);
	return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

} // namespace

bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	auto deadline = Clock::now() + timeout;
	int socket = connect_to(address, deadline);
	if (socket < 0) return false;
	Answer answer = ask(socket, http_head_request(address, false), deadline);
	close(socket);
	return answer == Answer::Answered || answer == Answer::AnsweredOnce;
}

RepeatedAsks::~RepeatedAsks() {
	if (connection_ >= 0) close(connection_);
}

bool RepeatedAsks::answered(std::chrono::milliseconds timeout) {
	auto deadline = Clock::now() + timeout;
	auto drop = [this] {
		if (connection_ >= 0) close(connection_);
		connection_ = -1;
	};
	bool kept = connection_ >= 0 && still_usable(connection_);
	if (!kept) drop();
	for (;;) {
		if (connection_ < 0) connection_ = connect_to(address_, deadline);
		if (connection_ < 0) return false;
		Answer answer = ask(connection_, http_head_request(address_, true), deadline);
		// One that did not answer is not asked again (its answer could come late, to the next ask).
		if (answer != Answer::Answered) drop();
		// A kept connection that the daemon closed just as it was asked again: once more, on a new one.
		if (answer == Answer::Ended && std::exchange(kept, false)) continue;
		return answer == Answer::Answered || answer == Answer::AnsweredOnce;
	}
}

} // namespace tarnwick
