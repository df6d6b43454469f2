// Whether the daemon's web interface accepts connections, found out on a thread of its own so that
// the GUI thread never waits for the network.
#pragma once

#include "application/future.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

// Completes on the GUI thread with true once a TCP connection to host:port was made, false when it
// was refused or failed. The attempt starts at the first poll.
class AddressProbe {
public:
	using Output = bool;

	AddressProbe(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}

	bool poll(const bw::Waker& waker);
	bool take_output();

	struct State;

private:
	std::string host_;
	uint16_t port_;
	std::shared_ptr<State> state_;
};

} // namespace tarnwick
