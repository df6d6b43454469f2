// The daemon on Linux: started in a session of its own, never left as a zombie, and not taken for
// running once it has ended.
#include "daemon/daemon.hpp"
#include "daemon/linux/user_accounts.hpp"
#include "daemon_fixture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

pid_t parent_of(pid_t pid) {
	std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
	std::string line;
	std::getline(stat, line);
	auto close = line.rfind(')');
	return close == std::string::npos ? 0 : std::atoi(line.c_str() + close + 4);
}

TEST_F(DaemonTest, StartedDaemonHasASessionOfItsOwnAndLeavesNoZombie) {
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	expect_no_other_daemon();

	ASSERT_TRUE(daemon::ensure_running().ok());
	auto daemons = started(20s);
	ASSERT_EQ(daemons.size(), 1u);
	auto pid = static_cast<pid_t>(daemons[0].id);
	EXPECT_EQ(getsid(pid), pid);
	EXPECT_EQ(getpgid(pid), pid);
	EXPECT_NE(getsid(0), pid);

	// Still our child: when it ends, it is ours to collect.
	ASSERT_EQ(parent_of(pid), getpid());
	kill(pid, SIGTERM);
	auto proc_entry = "/proc/" + std::to_string(pid);
	for (int i = 0; i < 500 && std::filesystem::exists(proc_entry); i++) std::this_thread::sleep_for(10ms);
	EXPECT_FALSE(std::filesystem::exists(proc_entry)) << "the ended daemon was left as a zombie";
}

TEST_F(DaemonTest, DaemonThatEndedButIsNotCollectedIsNoLongerRunning) {
	auto path_directory = make_directory("path");
	auto copy = install(path_directory);
	set_environment("PATH", utf8(path_directory));
	Child ended = run_named("tarnwickd");
	expect_no_other_daemon();
	// Ours to collect, and not collected yet: a zombie named tarnwickd.
	kill(static_cast<pid_t>(ended.id()), SIGKILL);
	for (int i = 0; i < 500 && is_running(ended.id()); i++) std::this_thread::sleep_for(10ms);
	ASSERT_TRUE(std::filesystem::exists("/proc/" + std::to_string(ended.id())));

	ASSERT_TRUE(daemon::ensure_running().ok());
	auto daemons = started(20s);
	ASSERT_EQ(daemons.size(), 1u);
	EXPECT_TRUE(std::filesystem::equivalent(daemons[0].path, copy)) << daemons[0].path;
}

// The daemon outlives the launcher: none of the launcher's files may stay open in it, and its output
// file is the user's alone.
TEST_F(DaemonTest, StartedDaemonGetsItsStandardStreamsOnlyAndAPrivateOutputFile) {
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	int inheritable = open("/dev/null", O_RDONLY);
	daemon::StartOptions options;
	options.output = temporary_ / "daemon.log";
	ASSERT_TRUE(daemon::ensure_running(options).ok());
	close(inheritable);
	auto daemons = started(20s);
	ASSERT_EQ(daemons.size(), 1u);
	std::vector<std::string> descriptors;
	for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(daemons[0].id) + "/fd"))
		descriptors.push_back(entry.path().filename().string());
	std::sort(descriptors.begin(), descriptors.end());
	EXPECT_EQ(descriptors, (std::vector<std::string>{"0", "1", "2"}));
	struct stat info {};
	ASSERT_EQ(stat(options.output.c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 0777, 0600u);
	EXPECT_TRUE(wait_until([&] { return read_file(options.output).find("daemon stand-in started") != std::string::npos; }, 5s));
}

// A daemon of another regular user is not the user's daemon, a system account's is (a system
// service); the first user id comes from login.defs.
TEST_F(DaemonTest, OnlyTheUsersOwnOrASystemAccountsDaemonCountsAsRunning) {
	EXPECT_EQ(daemon::system::first_user_id(""), 1000u);
	EXPECT_EQ(daemon::system::first_user_id("# UID_MIN 5\nUID_MIN\t\t 500\nUID_MAX 60000\n"), 500u);
	if (geteuid() != 0) GTEST_SKIP() << "running processes as other users needs root";
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	for (auto [uid, starts] : {std::pair{1234, true}, std::pair{999, false}}) {
		SCOPED_TRACE(uid);
		auto program = install(make_directory("user-" + std::to_string(uid)));
		let_others_reach(program.parent_path());
		std::string id = std::to_string(uid);
		Child other("/usr/bin/setpriv", {.arguments = {"--reuid=" + id, "--regid=" + id, "--clear-groups", program.string(), "60"}});
		ASSERT_TRUE(wait_until([&] { return daemon_processes().count(other.id()) == 1; }, 10s));
		auto status = daemon::ensure_running();
		ASSERT_TRUE(status.ok()) << status.error().to_string();
		EXPECT_EQ(status.started(), starts);
		for (const auto& process : started(starts ? 20s : 300ms)) kill_process(process.id);
		std::filesystem::remove(record_);
	}
}

} // namespace
} // namespace tarnwick::test
