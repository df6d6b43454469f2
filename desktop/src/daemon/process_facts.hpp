// What the system tells of a running process, as far as the supervisor needs it to decide whether
// the process can be trusted to be the daemon.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::daemon {

// Who runs a process, seen from the user who runs the launcher.
enum class Owner {
	// The launcher's own user.
	User,
	// Root or a system account (a system service); on Windows LocalSystem, LocalService,
	// NetworkService or a process in session 0.
	System,
	// Another regular user of the machine.
	OtherUser,
	// The system does not tell.
	Unknown,
};

struct ProcessFacts {
	std::uint64_t pid = 0;
	// 0 when there is none or the system does not tell.
	std::uint64_t parent = 0;
	Owner owner = Owner::Unknown;
	// The owner's user id where the system has them (Linux), and the owner's name when it has one.
	std::optional<std::uint32_t> uid;
	std::string user_name;
	// Every name the system keeps for it: the process name, the last path segment of its first
	// argument, the executable's file name. Names that cannot be read are left out.
	std::vector<std::string> names;
	// Ended but not yet collected (a zombie).
	bool ended = false;
};

// "another user (uid 1234, ann)": who owns a process of another user, for the user to read.
std::string describe_other_user(const ProcessFacts& facts);

} // namespace tarnwick::daemon
