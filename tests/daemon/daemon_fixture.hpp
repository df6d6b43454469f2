// A fixture for tests that run real processes named like the daemon: a temporary directory, the
// sleeper copied to the names needed, and the record that started stand-ins write to. Everything
// a test starts is killed when it ends.
#pragma once

#include "child_process.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick::test {

// A path as UTF-8, for messages and comparisons.
std::string utf8(const std::filesystem::path& path);
// The variable's value as this process started with it.
std::optional<std::string> get_environment(const char* name);

// The name with the platform's executable suffix.
std::string executable(const std::string& name);

// The directory of the running test program; the helper programs are built beside it.
std::filesystem::path test_program_directory();
std::filesystem::path helper_program(std::string_view name);

// The text's lines, without line breaks (LF or CR LF).
std::vector<std::string> lines(const std::string& text);

// Ids of running processes whose names the supervisor takes for the daemon.
std::set<std::uint64_t> daemon_processes();

class DaemonTest : public ::testing::Test {
protected:
	struct Started {
		std::uint64_t id;
		std::string path;
	};

	void SetUp() override;
	void TearDown() override;

	// A new directory inside the test's temporary one.
	std::filesystem::path make_directory(const std::string& name);
	// The sleeper copied into the directory under the file name.
	std::filesystem::path install(const std::filesystem::path& directory, const std::string& file_name = executable("tarnwickd"));
	// Runs a sleeper under the file name and waits until the process list shows it by that name.
	Child run_named(const std::string& file_name);
	// Stand-ins the supervisor started during this test; waits up to the timeout for the first.
	std::vector<Started> started(std::chrono::milliseconds timeout);
	// Fails when a process named like the daemon runs that this test did not start.
	void expect_no_other_daemon() const;

	std::filesystem::path temporary_;
	std::filesystem::path record_;

private:
	std::optional<std::string> saved_path_;
	std::vector<std::uint64_t> running_;
};

} // namespace tarnwick::test
