// Whether what listens on the daemon's port is the daemon (daemon_identity.hpp), from the listening
// socket and its process. Blocks for a look at the process table: off the GUI thread.
#pragma once

#include "port_owner.hpp"

#include "daemon/daemon_identity.hpp"

#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick {

struct IdentifiedListener {
	PortListener listener;
	daemon::Verdict verdict = daemon::Verdict::AnotherProgram;
};

// Nothing when no socket listens on the port. started: the daemons this launcher started; likely:
// processes looked at first for the socket (the daemon found running).
std::optional<IdentifiedListener> identify_listener(uint16_t port, std::span<const std::uint64_t> started,
                                                    std::span<const std::uint64_t> likely = {});

// Who holds the port, for the user to read: "another user (uid 1234, ann)", "nginx (pid 80)", or
// "an unknown program".
std::string describe_holder(const IdentifiedListener& holder);

} // namespace tarnwick
