// The daemon supervisor: makes sure a process named like the daemon runs, starting it if none does.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::daemon {

// Looked for in process names, and the program started (with the platform's executable suffix).
inline constexpr std::string_view daemon_name = "tarnwickd";

// Why the daemon could not be started.
class Error {
public:
	enum class Kind {
		// No executable was found in any search directory.
		NotFound,
		// The system refused to start it; os_code() tells why.
		Os,
	};

	static Error not_found() { return Error(Kind::NotFound, 0, {}); }
	static Error os(int code, std::string message) { return Error(Kind::Os, code, std::move(message)); }

	Kind kind() const { return kind_; }
	// The errno value or Win32 error code; 0 for NotFound.
	int os_code() const { return code_; }
	// What the user is shown: "program not found", or the system's message and " (os error N)".
	std::string to_string() const;

private:
	Error(Kind kind, int code, std::string message) : kind_(kind), code_(code), message_(std::move(message)) {}

	Kind kind_;
	int code_;
	std::string message_;
};

// Success, or the error that kept the daemon from starting.
class [[nodiscard]] Status {
public:
	Status() = default;
	Status(Error error) : error_(std::move(error)) {}
	static Status running(std::uint64_t pid, bool started) {
		Status status;
		status.pid_ = pid;
		status.started_ = started;
		return status;
	}

	bool ok() const { return !error_; }
	const Error& error() const { return *error_; }
	// The daemon's process id when known (0 otherwise), and whether this call started it.
	std::uint64_t pid() const { return pid_; }
	bool started() const { return started_; }

private:
	std::optional<Error> error_;
	std::uint64_t pid_ = 0;
	bool started_ = false;
};

// How a daemon this process started ended, in words ("exited with status 3", "killed by signal 9").
// Called once, on a thread of its own.
using ExitObserver = std::function<void(const std::string& how)>;

// What a start does besides starting.
struct StartOptions {
	// Told when the started daemon ends.
	ExitObserver on_exit;
	// The file the daemon's standard output and error are appended to (created 0600); empty: its
	// output goes nowhere on Windows, and to the caller's streams elsewhere. The daemon gets no other
	// descriptor or handle of the caller's.
	std::filesystem::path output;
};

// Does nothing when a process that counts as the daemon runs (named like it, of this user or a
// system account, not ended: daemon_identity.hpp); otherwise starts the daemon, detached, from the
// first search directory that holds it. Blocks only for the process snapshot and the process
// creation; never waits for the daemon.
Status ensure_running();
Status ensure_running(const StartOptions& options);

// Starts the daemon from the first of the directories that holds it.
Status start_daemon(std::span<const std::filesystem::path> search_directories, const StartOptions& options = {});

// Ends a daemon that stopped answering, of this user only: asked to end first (SIGTERM, and
// SIGCONT so that a stopped one can act on it), forced once the grace has passed (SIGKILL). Windows
// has no request to end for a program without windows or console: it is ended at once
// (TerminateProcess). Blocks until the process has ended or was forced; false when it was not this
// user's daemon (any more).
bool end_daemon(std::uint64_t pid, std::chrono::milliseconds grace);

// Where the daemon is looked for, in order: the running executable's directory, the platform's
// system directories, then each absolute PATH entry. Never the current directory, which empty
// and relative entries would name.
std::vector<std::filesystem::path> search_directories();

// The daemon's executable in the first directory that holds one.
std::optional<std::filesystem::path> find_daemon(std::span<const std::filesystem::path> search_directories);

} // namespace tarnwick::daemon
