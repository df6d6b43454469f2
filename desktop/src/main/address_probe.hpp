// Whether something accepts TCP connections at an address, asked on a thread of its own.
#pragma once

#include "background.hpp"

#include <chrono>
#include <cstdint>
#include <string>

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
// That request.
std::string http_head_request(const DaemonAddress& address);

// The same off the GUI thread.
inline Background<bool> probe(DaemonAddress address, std::chrono::milliseconds timeout) {
	return Background<bool>([address = std::move(address), timeout] { return connects(address, timeout); });
}

} // namespace tarnwick
