#include "child_process.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <utility>
#include <thread>

extern char** environ;

namespace tarnwick::test {

const std::string_view executable_suffix = "";
const int bad_executable_error = ENOEXEC;
const char path_list_separator = ':';

struct Child::Handle {
	pid_t pid;
	bool reaped = false;
	int status = 0;
};

Child::Child(const std::filesystem::path& program, const ChildOptions& options) : handle_(new Handle{}) {
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	if (!options.working_directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.working_directory.c_str());
	if (!options.output_file.empty()) {
		posix_spawn_file_actions_addopen(&actions, 1, options.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		posix_spawn_file_actions_adddup2(&actions, 1, 2);
	}
	std::vector<std::string> strings{program.string()};
	strings.insert(strings.end(), options.arguments.begin(), options.arguments.end());
	std::vector<char*> argv;
	for (auto& s : strings) argv.push_back(s.data());
	argv.push_back(nullptr);
	int code = posix_spawn(&handle_->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	if (code != 0) {
		delete handle_;
		throw std::runtime_error("cannot start " + program.string() + ": error " + std::to_string(code));
	}
}

Child::Child(Child&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Child::~Child() {
	if (handle_ == nullptr) return;
	kill();
	delete handle_;
}

std::uint64_t Child::id() const { return static_cast<std::uint64_t>(handle_->pid); }

std::optional<int> Child::wait(std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (!handle_->reaped) {
		pid_t done = waitpid(handle_->pid, &handle_->status, WNOHANG);
		if (done == handle_->pid || (done == -1 && errno == ECHILD)) {
			handle_->reaped = true;
			break;
		}
		if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	if (WIFEXITED(handle_->status)) return WEXITSTATUS(handle_->status);
	return 128 + WTERMSIG(handle_->status);
}

void Child::kill() {
	if (handle_->reaped) return;
	::kill(handle_->pid, SIGKILL);
	wait(std::chrono::seconds(30));
}

std::uint64_t current_process_id() { return static_cast<std::uint64_t>(getpid()); }

bool is_running(std::uint64_t id) {
	std::ifstream stat("/proc/" + std::to_string(id) + "/stat");
	std::string line;
	if (!std::getline(stat, line)) return false;
	// "pid (name) S ...": the state follows the last parenthesis.
	auto close = line.rfind(')');
	return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

std::vector<std::uint64_t> processes_named(const std::string& file_name) {
	std::vector<std::uint64_t> found;
	DIR* proc = opendir("/proc");
	while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
		std::uint64_t id = std::strtoull(entry->d_name, nullptr, 10);
		if (id == 0) continue;
		std::ifstream comm("/proc/" + std::to_string(id) + "/comm");
		std::string name;
		// The kernel keeps 15 characters of the name.
		if (std::getline(comm, name) && name == file_name.substr(0, 15) && is_running(id)) found.push_back(id);
	}
	if (proc != nullptr) closedir(proc);
	return found;
}

void kill_process(std::uint64_t id) {
	if (!is_running(id)) return;
	::kill(static_cast<pid_t>(id), SIGKILL);
	// Our own children are collected by whoever waits for them; a zombie counts as ended.
	for (int i = 0; i < 3000 && is_running(id); i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void set_environment(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

} // namespace tarnwick::test
