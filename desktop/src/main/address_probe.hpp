// Whether something accepts TCP connections at an address, asked on a thread of its own.
#pragma once

#include "background.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

namespace tarnwick {

struct DaemonAddress {
	std::string host;
	uint16_t port;
	std::string url() const { return "http://" + host + ":" + std::to_string(port); }
};

// Blocks for at most the timeout: true once a connection was made, false when it was refused,
// failed or took longer (a closed port on Windows answers only after the SYN's retries, ~2 s).
bool connects(const DaemonAddress& address, std::chrono::milliseconds timeout);

// Blocks for at most the timeout: true once the address answered a HEAD request for / with any
// HTTP status. A daemon that keeps its socket open but is stopped or deadlocked does not.
// (linux/http_answers.cpp, win32/http_answers.cpp)
bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout);
// That request, for a connection closed after the answer or kept open for the next.
std::string http_head_request(const DaemonAddress& address, bool keep_alive);

// The same question again and again, over one connection kept open between asks (HTTP/1.1
// keep-alive) where the platform part does so (Linux): the watch of an open window asks every few
// seconds, and a connection made and closed for each ask was most of the CPU time an idle window
// cost. A connection the daemon closed meanwhile, or that did not answer, is made anew at the next.
class RepeatedAsks {
public:
	explicit RepeatedAsks(DaemonAddress address) : address_(std::move(address)) {}
	~RepeatedAsks();
	RepeatedAsks(const RepeatedAsks&) = delete;
	RepeatedAsks& operator=(const RepeatedAsks&) = delete;

	// As http_answers.
	bool answered(std::chrono::milliseconds timeout);

private:
	DaemonAddress address_;
	// The kept connection's socket, or -1.
	int connection_ = -1;
};

// The same off the GUI thread.
inline Background<bool> probe(DaemonAddress address, std::chrono::milliseconds timeout) {
	return Background<bool>([address = std::move(address), timeout] { return connects(address, timeout); });
}

} // namespace tarnwick
