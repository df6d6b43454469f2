// The real launcher process under the test display, the way a user meets it: the daemon is found or
// started, the "Tarnwick" window shows its page, the close button ends the program with 0; without a
// daemon anywhere one error box appears and the program ends with 1.
#include "x_display.hpp"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::XDisplay;

std::string read_file(const fs::path& path) {
	std::ifstream file(path);
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline) return false;
		std::this_thread::sleep_for(50ms);
	}
	return true;
}

// The pids of the processes whose executable lies in the directory.
std::vector<pid_t> processes_from(const fs::path& directory) {
	std::vector<pid_t> found;
	DIR* proc = opendir("/proc");
	while (dirent* entry = readdir(proc)) {
		pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
		if (pid <= 0) continue;
		std::error_code error;
		fs::path exe = fs::read_symlink(fs::path("/proc") / entry->d_name / "exe", error);
		if (!error && exe.parent_path() == directory) found.push_back(pid);
	}
	closedir(proc);
	return found;
}

int count_named(const std::string& name) {
	int count = 0;
	DIR* proc = opendir("/proc");
	while (dirent* entry = readdir(proc)) {
		if (std::atoi(entry->d_name) <= 0) continue;
		std::string comm = read_file(fs::path("/proc") / entry->d_name / "comm");
		std::string state = read_file(fs::path("/proc") / entry->d_name / "stat");
		bool zombie = state.find(") Z") != std::string::npos;
		if (!zombie && comm == name + "\n") count++;
	}
	closedir(proc);
	return count;
}

class LauncherRun : public ::testing::Test {
protected:
	void SetUp() override {
		char pattern[] = "/tmp/tarnwick-e2e-XXXXXX";
		root_ = mkdtemp(pattern);
		launcher_dir_ = root_ / "launcher";
		elsewhere_dir_ = root_ / "elsewhere";
		fs::create_directories(launcher_dir_);
		fs::create_directories(elsewhere_dir_);
		fs::copy_file(TARNWICK_LAUNCHER, launcher_dir_ / "tarnwick_desktop");
		log_ = root_ / "requests.log";
		ASSERT_EQ(count_named("tarnwickd"), 0) << "a daemon is already running";
	}

	void TearDown() override {
		for (const fs::path& directory : {launcher_dir_, elsewhere_dir_})
			for (pid_t pid : processes_from(directory)) kill(pid, SIGKILL);
		if (launcher_ > 0) waitpid(launcher_, nullptr, 0);
		for (pid_t pid : started_) waitpid(pid, nullptr, 0);
		wait_until([] { return count_named("tarnwickd") == 0; }, 5s);
		fs::remove_all(root_);
	}

	void put_daemon_beside_launcher() { fs::copy_file(TARNWICK_DAEMON, launcher_dir_ / "tarnwickd"); }

	pid_t spawn(const fs::path& program, std::vector<std::string> arguments, const fs::path& output) {
		std::vector<std::string> environment;
		for (char** variable = environ; *variable != nullptr; variable++) {
			if (std::strncmp(*variable, "PATH=", 5) == 0 || std::strncmp(*variable, "TARNWICKD_LOG=", 14) == 0) continue;
			environment.emplace_back(*variable);
		}
		// Nothing on PATH holds a daemon; a started one reports its requests.
		environment.push_back("PATH=/usr/bin:/bin");
		environment.push_back("TARNWICKD_LOG=" + log_.string());
		std::vector<char*> env_pointers;
		for (std::string& variable : environment) env_pointers.push_back(variable.data());
		env_pointers.push_back(nullptr);
		arguments.insert(arguments.begin(), program.string());
		std::vector<char*> argv;
		for (std::string& argument : arguments) argv.push_back(argument.data());
		argv.push_back(nullptr);

		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_addchdir_np(&actions, root_.c_str());
		posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		pid_t pid = -1;
		int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env_pointers.data());
		posix_spawn_file_actions_destroy(&actions);
		EXPECT_EQ(error, 0);
		return pid;
	}

	void start_launcher() { launcher_ = spawn(launcher_dir_ / "tarnwick_desktop", {}, root_ / "launcher.err"); }

	void start_daemon_elsewhere(std::vector<std::string> arguments = {}) {
		fs::copy_file(TARNWICK_DAEMON, elsewhere_dir_ / "tarnwickd");
		started_.push_back(spawn(elsewhere_dir_ / "tarnwickd", std::move(arguments), root_ / "daemon.err"));
	}

	// The launcher's exit code, or -1 when it did not end in time.
	int launcher_exit_code(std::chrono::milliseconds timeout = 15s) {
		int status = 0;
		bool ended = wait_until([&] { return waitpid(launcher_, &status, WNOHANG) == launcher_; }, timeout);
		if (!ended) return -1;
		launcher_ = -1;
		return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	}

	std::string requests() const { return read_file(log_); }
	std::string launcher_errors() const { return read_file(root_ / "launcher.err"); }

	XDisplay x;
	fs::path root_, launcher_dir_, elsewhere_dir_, log_;
	pid_t launcher_ = -1;
	std::vector<pid_t> started_;
};

TEST_F(LauncherRun, StartsTheDaemonBesideItShowsItsPageAndEndsWithZeroWhenClosed) {
	put_daemon_beside_launcher();
	start_launcher();
	std::optional<XDisplay::TopLevel> window;
	ASSERT_TRUE(wait_until([&] { return (window = x.find("Tarnwick")).has_value(); }, 20s)) << launcher_errors();
	EXPECT_EQ(window->width, 1024);
	EXPECT_EQ(window->height, 768);
	EXPECT_EQ(processes_from(launcher_dir_).size(), 2u); // the launcher and the daemon it started
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 10s)) << requests();
	// The page is drawn: a blank window would show one colour.
	EXPECT_TRUE(wait_until([&] { return x.distinct_colours(window->id) > 2; }, 10s));

	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0) << launcher_errors();
	// Detached: the daemon outlives the launcher.
	EXPECT_EQ(count_named("tarnwickd"), 1);
}

TEST_F(LauncherRun, UsesADaemonThatAlreadyRunsAndStartsNoOther) {
	put_daemon_beside_launcher();
	start_daemon_elsewhere();
	ASSERT_TRUE(wait_until([] { return count_named("tarnwickd") == 1; }, 5s));
	start_launcher();
	std::optional<XDisplay::TopLevel> window;
	ASSERT_TRUE(wait_until([&] { return (window = x.find("Tarnwick")).has_value(); }, 20s)) << launcher_errors();
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 10s));
	EXPECT_EQ(count_named("tarnwickd"), 1);
	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherRun, WithoutADaemonAnywhereShowsOneErrorBoxAndEndsWithOne) {
	start_launcher();
	bool tarnwick_window_seen = false;
	std::optional<XDisplay::TopLevel> box;
	ASSERT_TRUE(wait_until(
	    [&] {
		    tarnwick_window_seen = tarnwick_window_seen || x.find("Tarnwick").has_value();
		    return (box = x.find("Tarnwick Error")).has_value();
	    },
	    20s));
	int boxes = 0;
	for (const XDisplay::TopLevel& window : x.top_levels()) boxes += window.mapped && window.title == "Tarnwick Error";
	EXPECT_EQ(boxes, 1);
	// Still open until the user dismisses it.
	std::this_thread::sleep_for(300ms);
	EXPECT_EQ(waitpid(launcher_, nullptr, WNOHANG), 0);

	x.request_close(box->id);
	EXPECT_EQ(launcher_exit_code(), 1);
	EXPECT_FALSE(tarnwick_window_seen);
	EXPECT_NE(launcher_errors().find("Unable to spawn the Tarnwick daemon: program not found\n"), std::string::npos) << launcher_errors();
	EXPECT_EQ(count_named("tarnwickd"), 0);
}

TEST_F(LauncherRun, ShowsTheWindowAtOnceAndTheDaemonsPageOnceItListens) {
	start_daemon_elsewhere({"--delay-listen", "4"});
	ASSERT_TRUE(wait_until([] { return count_named("tarnwickd") == 1; }, 5s));
	auto started = std::chrono::steady_clock::now();
	start_launcher();
	std::optional<XDisplay::TopLevel> window;
	ASSERT_TRUE(wait_until([&] { return (window = x.find("Tarnwick")).has_value(); }, 20s)) << launcher_errors();
	// Shown while the daemon does not listen yet, with a page of the launcher's own.
	EXPECT_EQ(requests(), "");
	EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
	EXPECT_TRUE(wait_until([&] { return x.distinct_colours(window->id) > 2; }, 10s));
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 20s)) << launcher_errors();
	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0);
}

} // namespace
} // namespace tarnwick
