#include "daemon/system.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <thread>

extern char** environ;

namespace tarnwick::daemon::system {

namespace {

Error os_error(int code) {
	char buffer[256];
	// GNU strerror_r: returns the text, which need not be in the buffer.
	return Error::os(code, strerror_r(code, buffer, sizeof buffer));
}

} // namespace

std::optional<std::filesystem::path> executable_path() {
	std::error_code error;
	auto path = std::filesystem::read_symlink("/proc/self/exe", error);
	if (error) return std::nullopt;
	return path;
}

std::vector<std::filesystem::path> system_directories() { return {}; }

std::vector<std::filesystem::path> path_entries() {
	std::vector<std::filesystem::path> entries;
	const char* variable = std::getenv("PATH");
	if (variable == nullptr) return entries;
	std::string_view rest = variable;
	// An empty entry would mean the current directory, which is never searched.
	while (!rest.empty()) {
		auto colon = rest.find(':');
		auto entry = rest.substr(0, colon);
		if (!entry.empty()) entries.emplace_back(entry);
		if (colon == std::string_view::npos) break;
		rest.remove_prefix(colon + 1);
	}
	return entries;
}

std::filesystem::path daemon_file_name() { return std::filesystem::path(daemon_name); }

bool is_program_file(const std::filesystem::path& path) {
	struct stat info {};
	return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

namespace {

std::string describe_end(int status) {
	if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
	if (WIFSIGNALED(status)) {
		std::string text = "killed by signal " + std::to_string(WTERMSIG(status));
		if (const char* name = sigdescr_np(WTERMSIG(status))) text += std::string(" (") + name + ")";
		return text;
	}
	return "ended";
}

} // namespace

Status start_detached(const std::filesystem::path& program, const StartOptions& options) {
	posix_spawnattr_t attributes;
	if (int code = posix_spawnattr_init(&attributes); code != 0) return os_error(code);
	// A session of its own: the daemon keeps running when the launcher's terminal or process
	// group goes away. It starts with no blocked signals and SIGPIPE at its default.
	sigset_t none;
	sigemptyset(&none);
	sigset_t defaults;
	sigemptyset(&defaults);
	sigaddset(&defaults, SIGPIPE);
	posix_spawnattr_setsigmask(&attributes, &none);
	posix_spawnattr_setsigdefault(&attributes, &defaults);
	posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

	// The daemon outlives the launcher: it gets its three standard streams and nothing else of ours
	// (the launcher's log, the engine's pipes), its input from /dev/null and its output appended to
	// its own file when there is one.
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	if (!options.output.empty()) {
		posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
		posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
		posix_spawn_file_actions_adddup2(&actions, 1, 2);
	}
	posix_spawn_file_actions_addclosefrom_np(&actions, 3);

	std::string argument0(daemon_name);
	char* arguments[] = {argument0.data(), nullptr};
	pid_t pid = 0;
	// glibc's posix_spawn reports a failed exec (missing, not executable, bad format) here.
	int code = posix_spawn(&pid, program.c_str(), &actions, &attributes, arguments, environ);
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	if (code != 0) return os_error(code);

	// The daemon stays our child until we exit, so its end must be collected or it lingers as a
	// zombie. A detached thread waits for exactly this pid: it touches no other child, needs no
	// SIGCHLD handler (which would be process-wide and clash with GLib's child watches), and
	// posix_spawn cannot double-fork. When the launcher exits first, init adopts the daemon.
	try {
		std::thread([pid, on_exit = options.on_exit] {
			int status = 0;
			pid_t ended;
			while ((ended = waitpid(pid, &status, 0)) == -1 && errno == EINTR) {
			}
			if (ended == pid && on_exit) on_exit(describe_end(status));
		}).detach();
	} catch (const std::system_error&) {
		// No thread to spare: the daemon runs all the same, and is collected when we exit.
	}
	return Status::running(static_cast<std::uint64_t>(pid), true);
}

void end_process(std::uint64_t pid, std::chrono::milliseconds grace) {
	auto id = static_cast<pid_t>(pid);
	if (kill(id, SIGTERM) != 0) return;
	kill(id, SIGCONT);
	auto deadline = std::chrono::steady_clock::now() + grace;
	while (std::chrono::steady_clock::now() < deadline) {
		std::optional<ProcessFacts> facts = process_facts(pid);
		if (!facts || facts->ended) return;
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}
	kill(id, SIGKILL);
}

} // namespace tarnwick::daemon::system
