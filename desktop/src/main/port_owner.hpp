// Who listens on a local TCP port, as far as the system tells.
#pragma once

#include "daemon/process_facts.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarnwick {

struct PortListener {
	// 0 and empty when the socket's process cannot be found (another user's, say).
	std::uint64_t pid = 0;
	std::string name;
	// Whose socket it is: known even when its process is not (Linux tells the socket's user id).
	daemon::Owner owner = daemon::Owner::Unknown;
	std::optional<std::uint32_t> uid;
	std::string user_name;
};

// The listener on the port (any local address, IPv4 or IPv6), or nothing when no socket listens
// there. The processes named in look_first are searched for the socket before all others.
std::optional<PortListener> port_listener(uint16_t port, std::span<const std::uint64_t> look_first = {});

// Whether a socket listens on the port for loopback connections (bound to a loopback or the any
// address), asked without connecting: a connection costs both ends a handshake, and the watch asks
// every second. Nothing when the system cannot tell.
std::optional<bool> loopback_port_listened(uint16_t port);

} // namespace tarnwick
