// Starting, watching and stopping processes from tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tarnwick::test {

// The platform's suffix of executable files: "" or ".exe".
extern const std::string_view executable_suffix;
// The PATH entry separator: ':' or ';'.
extern const char path_list_separator;
// The system's error code for starting a file that is no program.
extern const int bad_executable_error;

struct ChildOptions {
	std::vector<std::string> arguments{};
	// Empty: the test's own.
	std::filesystem::path working_directory{};
	// Standard output and error go to this file when set; otherwise they are the test's own.
	std::filesystem::path output_file{};
};

// A process started by a test; killed when dropped if it still runs.
class Child {
public:
	Child(const std::filesystem::path& program, const ChildOptions& options = {});
	Child(Child&& other) noexcept;
	Child& operator=(Child&&) = delete;
	~Child();

	std::uint64_t id() const;
	// The exit code, or nothing when it still runs after the timeout.
	std::optional<int> wait(std::chrono::milliseconds timeout);
	void kill();

private:
	struct Handle;
	Handle* handle_;
};

std::uint64_t current_process_id();
// Alive and not a zombie.
bool is_running(std::uint64_t id);
// Ends the process if it is still there; waits until it has ended.
void kill_process(std::uint64_t id);

// Running processes (zombies excluded) whose executable file has this name, suffix included.
std::vector<std::uint64_t> processes_named(const std::string& file_name);

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& path) {
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Polls every 20 ms until the condition holds; false when the timeout passed first.
inline bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline) return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(20));
	}
	return true;
}

// Lets other users reach (not list) the folder: adds search permission for others to it and to each
// folder above it that lacks it, so that a program there can be run as another user.
inline void let_others_reach(std::filesystem::path folder) {
	for (; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
		std::error_code error;
		auto perms = std::filesystem::status(folder, error).permissions();
		if (!error && (perms & std::filesystem::perms::others_exec) == std::filesystem::perms::none)
			std::filesystem::permissions(folder, std::filesystem::perms::others_exec, std::filesystem::perm_options::add, error);
	}
}

// Sets the variable for this process and the processes it starts.
void set_environment(const std::string& name, const std::string& value);

} // namespace tarnwick::test
