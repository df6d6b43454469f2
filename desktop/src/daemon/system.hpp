// What the supervisor needs from the operating system; each platform has its own implementation.
#pragma once

#include "daemon/daemon.hpp"
#include "daemon/process_facts.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::daemon::system {

// Calls visit with what the system tells of each running process (names in UTF-8 on Windows, the
// kernel's bytes on Linux), in the system's own order, until visit returns true; tells whether it
// did. On Windows the owner is read only for processes named like the daemon (it costs a handle
// each). A failure visits fewer processes or none, which only leads to a start attempt.
bool visit_processes(const std::function<bool(const ProcessFacts& facts)>& visit);

// What the system tells of one process; nothing when it is gone.
std::optional<ProcessFacts> process_facts(std::uint64_t pid);

// The running executable's path, or nothing when the system cannot tell.
std::optional<std::filesystem::path> executable_path();

// Directories searched after the executable's own and before PATH.
std::vector<std::filesystem::path> system_directories();

// The non-empty entries of PATH, in order.
std::vector<std::filesystem::path> path_entries();

// The daemon's file name with the platform's executable suffix.
std::filesystem::path daemon_file_name();

// Whether the file can be started as a program (exists and is no directory; on Linux executable).
bool is_program_file(const std::filesystem::path& path);

// Starts the program with no arguments beyond its name, inheriting environment, working directory
// and standard streams (Windows: no console; output to options.output), detached from the caller:
// nothing stops it. Only a thread that reports its end to options.on_exit waits for it.
Status start_detached(const std::filesystem::path& program, const StartOptions& options = {});

// Asks the process to end, then forces it once the grace has passed; blocks until then.
void end_process(std::uint64_t pid, std::chrono::milliseconds grace);

} // namespace tarnwick::daemon::system
