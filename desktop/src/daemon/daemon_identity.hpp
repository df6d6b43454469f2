// One answer to "is this the daemon?": whether a process, or the process that listens on the
// daemon's port, can be trusted to be the daemon. The process check before a start, the first
// navigation, the watch and every restart ask it; no other place decides.
#pragma once

#include "daemon/process_facts.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tarnwick::daemon {

// One of its names is the daemon's, exactly ("tarnwickd", or its file name with the platform's
// executable suffix): a name that merely contains it does not count.
bool named_like_daemon(const ProcessFacts& facts);

// The user's own processes and system services may be the daemon; another regular user's never.
bool trusted_owner(Owner owner);

// A process that counts as the daemon running: named like it, of a trusted owner, not ended.
bool counts_as_running(const ProcessFacts& facts);

enum class Verdict { Daemon, AnotherProgram, AnotherUser };

// Looks a process up by id; nothing when it is gone or unreadable.
using FactsOf = std::function<std::optional<ProcessFacts>(std::uint64_t pid)>;

// Who listens on the port: the listening process when it can be found, and its owner, which the
// system always tells for a socket even when the process cannot be read.
struct ListenerOwner {
	// 0 when the socket's process could not be found.
	std::uint64_t pid = 0;
	Owner owner = Owner::Unknown;
	std::optional<std::uint32_t> uid;
};

// The listener is the daemon when its owner is trusted and its process, or one of its ancestors,
// is one the launcher started or is named like the daemon (a wrapper that starts the real program
// as its child). A listener of another regular user never is. A listener whose process cannot be
// found is the daemon only when daemon_runs says that a process that counts as the daemon runs
// under its owner: a system service's processes cannot be read by a user, and where the system
// tells nothing of a socket's process (Wine) its owner is unknown too.
Verdict judge_listener(const ListenerOwner& listener, std::span<const std::uint64_t> started, const FactsOf& facts_of,
                       const std::function<bool(const ListenerOwner&)>& daemon_runs);

} // namespace tarnwick::daemon
