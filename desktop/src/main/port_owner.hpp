// Who listens on a local TCP port, as far as the system tells.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

struct PortListener {
	// 0 and empty when the socket's process cannot be told (another user's, say).
	std::uint64_t pid = 0;
	std::string name;
};

// The listener on the port (any local address), or nothing when no socket listens there.
std::optional<PortListener> port_listener(uint16_t port);

// Whether a socket listens on the port for loopback connections (bound to a loopback or the any
// address), asked without connecting: a connection costs both ends a handshake, and the watch asks
// every second. Nothing when the system cannot tell.
std::optional<bool> loopback_port_listened(uint16_t port);

} // namespace tarnwick
