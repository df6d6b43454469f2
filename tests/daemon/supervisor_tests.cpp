// The supervisor with real processes: which running names count as the daemon, which copy of the
// daemon starts, and what the user is told when none can.
#include "daemon/daemon.hpp"
#include "daemon_fixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// Only the daemon's exact name counts: a program that merely has it in its name is another one.
TEST_F(DaemonTest, RunningDaemonIsFoundAndNothingStarts) {
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	Child running = run_named(executable("tarnwickd"));
	auto before = daemon_processes();
	auto status = daemon::ensure_running();
	ASSERT_TRUE(status.ok()) << status.error().to_string();
	EXPECT_EQ(status.pid(), running.id());
	EXPECT_EQ(daemon_processes(), before);
	EXPECT_TRUE(started(500ms).empty());
}

TEST_F(DaemonTest, AProgramThatOnlyContainsTheNameIsNotTheDaemon) {
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	Child running = run_named(executable("old-tarnwickd"));
	auto status = daemon::ensure_running();
	ASSERT_TRUE(status.ok()) << status.error().to_string();
	EXPECT_TRUE(status.started());
	EXPECT_EQ(started(20s).size(), 1u);
}

TEST_F(DaemonTest, NameInAnotherCaseIsNoMatchSoTheDaemonStarts) {
	auto path_directory = make_directory("path");
	auto copy = install(path_directory);
	set_environment("PATH", utf8(path_directory));
	std::string upper = executable("tarnwickd");
	std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
	Child running = run_named(upper);
	expect_no_other_daemon();

	auto status = daemon::ensure_running();
	ASSERT_TRUE(status.ok()) << status.error().to_string();
	auto daemons = started(20s);
	ASSERT_EQ(daemons.size(), 1u);
	EXPECT_TRUE(std::filesystem::equivalent(daemons[0].path, copy)) << daemons[0].path;
	EXPECT_TRUE(is_running(daemons[0].id));
}

TEST_F(DaemonTest, CopyBesideTheLauncherStartsBeforeOneOnPath) {
	auto launcher = make_directory("launcher");
	std::filesystem::copy_file(helper_program("daemon_test_probe"), launcher / executable("probe"));
	auto beside = install(launcher);
	auto path_directory = make_directory("path");
	install(path_directory);
	set_environment("PATH", utf8(path_directory));
	expect_no_other_daemon();

	auto output = temporary_ / "probe-output.txt";
	Child probe(launcher / executable("probe"), {.output_file = output});
	EXPECT_EQ(probe.wait(60s), 0);
	auto daemons = started(20s);
	ASSERT_EQ(daemons.size(), 1u);
	EXPECT_TRUE(std::filesystem::equivalent(daemons[0].path, beside)) << daemons[0].path;
	// The daemon writes to the launcher's own standard output.
	auto printed = lines(read_file(output));
	EXPECT_NE(std::ranges::find(printed, "ok"), printed.end());
	EXPECT_NE(std::ranges::find(printed, "daemon stand-in started: " + daemons[0].path), printed.end()) << read_file(output);
}

TEST_F(DaemonTest, CopiesReachedOnlyFromTheCurrentDirectoryAreNotFound) {
	auto launcher = make_directory("launcher");
	std::filesystem::copy_file(helper_program("daemon_test_probe"), launcher / executable("probe"));
	auto current = make_directory("current");
	install(current);
	std::filesystem::create_directories(current / "bin");
	install(current / "bin");
	// Empty and relative entries, which a shell would look up from the current directory.
	auto separator = std::string(1, path_list_separator);
	set_environment("PATH", separator + utf8(make_directory("empty")) + separator + separator + "." + separator + "bin" + separator);
	expect_no_other_daemon();

	auto before = daemon_processes();
	auto output = temporary_ / "probe-output.txt";
	Child probe(launcher / executable("probe"), {.working_directory = current, .output_file = output});
	EXPECT_EQ(probe.wait(60s), 1);
	EXPECT_EQ(lines(read_file(output)), std::vector<std::string>{"program not found"});
	EXPECT_EQ(daemon_processes(), before);
	EXPECT_TRUE(started(500ms).empty());
}

TEST_F(DaemonTest, FailuresReadAsTheUserIsShownThem) {
	auto empty = make_directory("empty");
	auto status = daemon::start_daemon(std::vector{empty});
	ASSERT_FALSE(status.ok());
	EXPECT_EQ(status.error().kind(), daemon::Error::Kind::NotFound);
	EXPECT_EQ(status.error().to_string(), "program not found");

	// Found, but the system refuses to run it.
	auto broken = make_directory("broken");
	auto file = broken / executable("tarnwickd");
	std::ofstream(file) << "not a program\n";
	std::filesystem::permissions(file, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
	status = daemon::start_daemon(std::vector{empty, broken});
	ASSERT_FALSE(status.ok());
	EXPECT_EQ(status.error().kind(), daemon::Error::Kind::Os);
	EXPECT_EQ(status.error().os_code(), bad_executable_error);
	auto text = status.error().to_string();
	auto suffix = " (os error " + std::to_string(bad_executable_error) + ")";
	ASSERT_GT(text.size(), suffix.size()) << text;
	EXPECT_TRUE(text.ends_with(suffix)) << text;
	auto message = text.substr(0, text.size() - suffix.size());
	EXPECT_TRUE(std::ranges::none_of(message, [](char c) { return c == '\r' || c == '\n'; })) << text;
}

} // namespace
} // namespace tarnwick::test
