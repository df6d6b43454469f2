// The daemon supervisor: makes sure a process named like the daemon runs, starting it if none does.
#pragma once

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
	// Where the daemon's output goes on a platform where it has no console of its own (Windows);
	// empty: nowhere. Elsewhere it inherits the caller's streams.
	std::filesystem::path output;
};

// Does nothing when some running process has the daemon's name in its name; otherwise starts the
// daemon, detached, from the first search directory that holds it. Blocks only for the process
// snapshot and the process creation; never waits for the daemon.
Status ensure_running();
Status ensure_running(const StartOptions& options);

// Starts the daemon from the first of the directories that holds it.
Status start_daemon(std::span<const std::filesystem::path> search_directories, const StartOptions& options = {});

// Case-sensitive: the name contains "tarnwickd" anywhere.
bool is_daemon_name(std::string_view process_name);

// Where the daemon is looked for, in order: the running executable's directory, the platform's
// system directories, then each absolute PATH entry. Never the current directory, which empty
// and relative entries would name.
std::vector<std::filesystem::path> search_directories();

// The daemon's executable in the first directory that holds one.
std::optional<std::filesystem::path> find_daemon(std::span<const std::filesystem::path> search_directories);

} // namespace tarnwick::daemon
