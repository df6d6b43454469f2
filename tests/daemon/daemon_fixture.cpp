#include "daemon_fixture.hpp"

#include "daemon/daemon.hpp"
#include "daemon/system.hpp"
#include "support/test_sandbox.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace tarnwick::test {

std::string utf8(const std::filesystem::path& path) {
	auto text = path.u8string();
	return std::string(text.begin(), text.end());
}

std::optional<std::string> get_environment(const char* name) {
	// std::getenv sees the environment the process started with, not later changes on Windows.
	const char* value = std::getenv(name);
	return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

std::string executable(const std::string& name) { return name + std::string(executable_suffix); }

std::filesystem::path test_program_directory() { return daemon::system::executable_path().value().parent_path(); }

std::filesystem::path helper_program(std::string_view name) {
	return test_program_directory() / executable(std::string(name));
}

std::vector<std::string> lines(const std::string& text) {
	std::vector<std::string> result;
	std::istringstream stream(text);
	std::string line;
	while (std::getline(stream, line)) {
		if (!line.empty() && line.back() == '\r') line.pop_back();
		result.push_back(line);
	}
	return result;
}

std::set<std::uint64_t> daemon_processes() {
	std::set<std::uint64_t> ids;
	// Any name holding the daemon's, so that a test sees every copy, named like it or not.
	daemon::system::visit_processes([&](const daemon::ProcessFacts& facts) {
		for (const std::string& name : facts.names)
			if (name.find(daemon::daemon_name) != std::string::npos && is_running(facts.pid)) ids.insert(facts.pid);
		return false;
	});
	return ids;
}

void DaemonTest::SetUp() {
	// Any process named like the daemon would count, so the process list must be the test's own.
	TARNWICK_REQUIRE_ISOLATION();
	static std::atomic<int> counter{0};
	auto name = "tarnwick-daemon-test-" + std::to_string(current_process_id()) + "-" + std::to_string(counter++);
	temporary_ = std::filesystem::temp_directory_path() / name;
	std::filesystem::remove_all(temporary_);
	std::filesystem::create_directories(temporary_);
	record_ = temporary_ / "started.txt";
	set_environment("TARNWICK_TEST_STARTED", utf8(record_));
	saved_path_ = get_environment("PATH");
}

void DaemonTest::TearDown() {
	for (const auto& process : started(std::chrono::milliseconds(0))) kill_process(process.id);
	for (auto id : running_) kill_process(id);
	if (saved_path_) set_environment("PATH", *saved_path_);
	std::error_code ignored;
	// Windows keeps the files of ended processes busy for a moment.
	for (int i = 0; i < 50 && std::filesystem::exists(temporary_); i++) {
		std::filesystem::remove_all(temporary_, ignored);
		if (ignored) std::this_thread::sleep_for(std::chrono::milliseconds(100));
	}
}

std::filesystem::path DaemonTest::make_directory(const std::string& name) {
	auto directory = temporary_ / name;
	std::filesystem::create_directories(directory);
	return directory;
}

std::filesystem::path DaemonTest::install(const std::filesystem::path& directory, const std::string& file_name) {
	auto target = directory / file_name;
	std::filesystem::copy_file(helper_program("daemon_test_sleeper"), target);
	return target;
}

Child DaemonTest::run_named(const std::string& file_name) {
	auto program = install(make_directory("running-" + file_name), file_name);
	Child child(program, {.arguments = {"60"}});
	running_.push_back(child.id());
	for (int i = 0; i < 1000; i++) {
		bool listed = daemon::system::visit_processes([&](const daemon::ProcessFacts& facts) {
			return facts.pid == child.id() && std::find(facts.names.begin(), facts.names.end(), file_name) != facts.names.end();
		});
		if (listed) return child;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	ADD_FAILURE() << "the process list never showed " << file_name << " with id " << child.id();
	return child;
}

std::vector<DaemonTest::Started> DaemonTest::started(std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	for (;;) {
		std::vector<Started> result;
		for (const auto& line : lines(read_file(record_))) {
			auto tab = line.find('\t');
			if (tab != std::string::npos) result.push_back({std::stoull(line.substr(0, tab)), line.substr(tab + 1)});
		}
		if (!result.empty() || std::chrono::steady_clock::now() >= deadline) return result;
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
}

void DaemonTest::expect_no_other_daemon() const {
	for (auto id : daemon_processes()) {
		EXPECT_NE(std::ranges::find(running_, id), running_.end())
		    << "process " << id << " is named like the daemon; these tests need none running but their own";
	}
}

} // namespace tarnwick::test
