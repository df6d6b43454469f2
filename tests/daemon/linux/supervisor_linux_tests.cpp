// The daemon on Linux: started in a session of its own, never left as a zombie, and not taken for
// running once it has ended.
#include "daemon/daemon.hpp"
#include "daemon_fixture.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

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

} // namespace
} // namespace tarnwick::test
