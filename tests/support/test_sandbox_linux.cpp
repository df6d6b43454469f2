#include "support/test_sandbox.hpp"

#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace tarnwick::testing {

namespace {

namespace fs = std::filesystem;

constexpr const char* state_variable = "TARNWICK_TEST_SANDBOX";
// Marks every process the test starts, so that those left over can be found without namespaces.
constexpr const char* root_variable = "TARNWICK_TEST_ROOT";

SandboxState state;

std::string system_error(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

[[noreturn]] void fail_setup(const std::string& text) {
	std::fprintf(stderr, "test sandbox: %s\n", text.c_str());
	std::exit(125);
}

// Fresh folders for everything a program keeps per user, under one temporary root.
fs::path make_private_folders() {
	const char* tmp = std::getenv("TMPDIR");
	std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tarnwick-test-XXXXXX";
	if (mkdtemp(pattern.data()) == nullptr) fail_setup(system_error("cannot make a temporary folder"));
	fs::path root = pattern;
	// X clients find their cookie in the home folder unless told otherwise.
	const char* home = std::getenv("HOME");
	if (std::getenv("XAUTHORITY") == nullptr && home != nullptr && fs::exists(fs::path(home) / ".Xauthority"))
		setenv("XAUTHORITY", (fs::path(home) / ".Xauthority").c_str(), 1);
	const std::pair<const char*, const char*> folders[] = {
	    {"HOME", "home"},           {"XDG_CONFIG_HOME", "config"}, {"XDG_CACHE_HOME", "cache"}, {"XDG_DATA_HOME", "data"},
	    {"XDG_STATE_HOME", "state"}, {"XDG_RUNTIME_DIR", "runtime"}, {"TMPDIR", "tmp"},
	};
	for (const auto& [variable, name] : folders) {
		fs::path folder = root / name;
		if (mkdir(folder.c_str(), 0700) != 0) fail_setup(system_error("cannot make a temporary folder"));
		setenv(variable, folder.c_str(), 1);
	}
	// The user's session bus is not the test's, nor the user's language: the programs speak English
	// unless a test asks for another.
	unsetenv("DBUS_SESSION_BUS_ADDRESS");
	for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(variable);
	setenv("LANG", "C.UTF-8", 1);
	setenv(root_variable, root.c_str(), 1);
	return root;
}

void write_file(const char* path, const std::string& text) {
	int fd = open(path, O_WRONLY | O_CLOEXEC);
	if (fd < 0) return;
	(void)!write(fd, text.data(), text.size());
	close(fd);
}

// Network, process and mount namespaces; inside a user namespace of our own when not privileged.
std::string unshare_namespaces() {
	const int flags = CLONE_NEWNET | CLONE_NEWPID | CLONE_NEWNS;
	if (unshare(flags) == 0) return {};
	std::string privileged_error = system_error("unshare");
	uid_t uid = getuid();
	gid_t gid = getgid();
	if (unshare(flags | CLONE_NEWUSER) != 0) return privileged_error + "; with a user namespace, " + system_error("unshare");
	write_file("/proc/self/setgroups", "deny");
	write_file("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1");
	write_file("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
	return {};
}

// In the first process of the new process namespace: a process list of its own and a loopback
// interface that is up.
std::string set_up_namespaces() {
	if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return system_error("private mounts");
	if (mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) return system_error("mounting /proc");
	int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	if (fd < 0) return system_error("socket");
	ifreq request{};
	std::strcpy(request.ifr_name, "lo");
	bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
	request.ifr_flags |= IFF_UP | IFF_RUNNING;
	up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
	std::string error = up ? "" : system_error("bringing up the loopback interface");
	close(fd);
	return error;
}

int exit_code(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// Dies with the parent; false when the parent is already gone.
bool tie_to_parent(pid_t parent) { return prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent; }

void report(int fd, const std::string& text) {
	(void)!write(fd, text.data(), text.size());
	close(fd);
}

// Returns in the test process inside the namespaces; in the others, exits. The parent learns over
// the pipe whether that worked: an empty report means it did.
void run_isolated(pid_t outer, int report_fd) {
	if (!tie_to_parent(outer)) _exit(1);
	if (std::string error = unshare_namespaces(); !error.empty()) {
		report(report_fd, error);
		_exit(1);
	}
	pid_t init = fork();
	if (init < 0) {
		report(report_fd, system_error("fork"));
		_exit(1);
	}
	if (init > 0) {
		close(report_fd);
		int status = 0;
		while (waitpid(init, &status, 0) < 0 && errno == EINTR) {}
		_exit(exit_code(status));
	}
	// Process 1 of the namespace: when it ends, the kernel ends every other process in it. Its
	// parent lies outside, where the namespace shows no id (0) while it lives.
	if (!tie_to_parent(0)) _exit(1);
	if (std::string error = set_up_namespaces(); !error.empty()) {
		report(report_fd, error);
		_exit(1);
	}
	pid_t test = fork();
	if (test < 0) {
		report(report_fd, system_error("fork"));
		_exit(1);
	}
	if (test == 0) {
		if (!tie_to_parent(1)) _exit(1);
		return;
	}
	close(report_fd);
	// Reaps orphans (a daemon detached from the launcher ends up here) until the test ends.
	for (;;) {
		int status = 0;
		pid_t ended = wait(&status);
		if (ended == test) _exit(exit_code(status));
		if (ended < 0 && errno != EINTR) _exit(1);
	}
}

// Without namespaces, what the test started and left running: processes that carry its mark.
void end_marked_processes(const fs::path& root) {
	const std::string mark = std::string(root_variable) + "=" + root.string();
	std::error_code error;
	for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
		pid_t pid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
		if (pid <= 0 || pid == getpid()) continue;
		std::string environment;
		if (std::FILE* file = std::fopen((entry.path() / "environ").c_str(), "r")) {
			char buffer[4096];
			for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) environment.append(buffer, got);
			std::fclose(file);
		}
		for (std::size_t start = 0; start < environment.size();) {
			std::size_t end = std::min(environment.find('\0', start), environment.size());
			if (environment.compare(start, end - start, mark) == 0) {
				kill(pid, SIGKILL);
				break;
			}
			start = end + 1;
		}
	}
}

// A display of the test's own, for programs that ask for one (TARNWICK_TEST_DISPLAY=private): the
// windows of tests that run at the same time then neither cover each other, nor take each other's
// keys and focus. Its number is the sandbox's first process id, which no other sandbox running now
// has, so a lock file of that number is one a sandbox that ended left (its server was killed);
// the socket folder is the sandbox's own where it has a mount namespace.
void start_private_display(pid_t outer, bool isolated) {
	const char* wanted = std::getenv("TARNWICK_TEST_DISPLAY");
	if (wanted == nullptr || std::string(wanted) != "private" || std::getenv("DISPLAY") == nullptr) return;
	if (isolated && access("/tmp/.X11-unix", F_OK) == 0 && mount("tmpfs", "/tmp/.X11-unix", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
		fail_setup(system_error("a socket folder for the display"));
	std::string number = std::to_string(outer);
	unlink(("/tmp/.X" + number + "-lock").c_str());
	int ready[2];
	if (pipe2(ready, O_CLOEXEC) != 0) fail_setup(system_error("pipe"));
	pid_t server = fork();
	if (server < 0) fail_setup(system_error("fork"));
	if (server == 0) {
		dup2(ready[1], 3);
		int null = open("/dev/null", O_RDWR);
		dup2(null, 0);
		dup2(null, 1);
		dup2(null, 2);
		execlp("Xvfb", "Xvfb", (":" + number).c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset", "-displayfd", "3",
		       static_cast<char*>(nullptr));
		_exit(127);
	}
	close(ready[1]);
	// It writes its number and then a line break once it accepts clients, and ends when it cannot.
	std::string written;
	char buffer[16];
	while (written.find('\n') == std::string::npos) {
		ssize_t got = read(ready[0], buffer, sizeof buffer);
		if (got < 0 && errno == EINTR) continue;
		if (got <= 0) fail_setup("the test's own display did not start (is Xvfb installed?)");
		written.append(buffer, static_cast<std::size_t>(got));
	}
	close(ready[0]);
	setenv("DISPLAY", (":" + number).c_str(), 1);
}

volatile sig_atomic_t forwarded_signal = 0;
volatile pid_t sandbox_child = 0;

void end_child_on_signal(int signal) {
	forwarded_signal = signal;
	if (sandbox_child > 0) kill(sandbox_child, SIGKILL);
}

// In the original process: waits for the child, removes the folders and exits with its status.
[[noreturn]] void wait_and_clean_up(pid_t child, const fs::path& root, bool isolated) {
	sandbox_child = child;
	for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, end_child_on_signal);
	int status = 0;
	while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
	if (!isolated) end_marked_processes(root);
	std::error_code ignored;
	fs::remove_all(root, ignored);
	_exit(forwarded_signal != 0 ? 128 + forwarded_signal : exit_code(status));
}

} // namespace

void enter_test_sandbox() {
	if (const char* inherited = std::getenv(state_variable)) {
		std::string value = inherited;
		state.isolated = value == "isolated";
		if (!state.isolated) state.reason = value.substr(value.find(':') + 1);
		return;
	}
	fs::path root = make_private_folders();
	std::fflush(nullptr);
	pid_t outer = getpid();

	int report_pipe[2];
	if (pipe2(report_pipe, O_CLOEXEC) != 0) fail_setup(system_error("pipe"));
	pid_t child = fork();
	if (child < 0) fail_setup(system_error("fork"));
	if (child == 0) {
		close(report_pipe[0]);
		run_isolated(outer, report_pipe[1]);
		close(report_pipe[1]);
		state.isolated = true;
		setenv(state_variable, "isolated", 1);
		start_private_display(outer, true);
		return;
	}
	close(report_pipe[1]);
	std::string failure;
	char buffer[256];
	for (ssize_t got; (got = read(report_pipe[0], buffer, sizeof buffer)) != 0;) {
		if (got > 0) failure.append(buffer, static_cast<std::size_t>(got));
		else if (errno != EINTR) break;
	}
	close(report_pipe[0]);
	if (failure.empty()) wait_and_clean_up(child, root, true);
	while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}

	// No namespaces: the folders alone, still cleaned up by this process.
	child = fork();
	if (child < 0) fail_setup(system_error("fork"));
	if (child > 0) wait_and_clean_up(child, root, false);
	if (!tie_to_parent(outer)) _exit(1);
	state.reason = "no private namespaces (" + failure + ")";
	setenv(state_variable, ("shared:" + state.reason).c_str(), 1);
	start_private_display(outer, false);
}

const SandboxState& test_sandbox() { return state; }

} // namespace tarnwick::testing
