#include "daemon/daemon.hpp"

#include "daemon/daemon_identity.hpp"
#include "daemon/system.hpp"

namespace tarnwick::daemon {

std::string Error::to_string() const {
	if (kind_ == Kind::NotFound) return "program not found";
	return message_ + " (os error " + std::to_string(code_) + ")";
}

std::vector<std::filesystem::path> search_directories() {
	std::vector<std::filesystem::path> directories;
	if (auto executable = system::executable_path()) directories.push_back(executable->parent_path());
	for (auto& directory : system::system_directories()) directories.push_back(std::move(directory));
	// A relative entry (".", "bin", or on Windows "\\tools" and "C:tools") would be looked up from the
	// current directory, which is never searched.
	for (auto& directory : system::path_entries())
		if (directory.is_absolute()) directories.push_back(std::move(directory));
	return directories;
}

std::optional<std::filesystem::path> find_daemon(std::span<const std::filesystem::path> search_directories) {
	const auto file_name = system::daemon_file_name();
	for (const auto& directory : search_directories) {
		auto candidate = directory / file_name;
		if (system::is_program_file(candidate)) return candidate;
	}
	return std::nullopt;
}

Status start_daemon(std::span<const std::filesystem::path> search_directories, const StartOptions& options) {
	auto program = find_daemon(search_directories);
	if (!program) return Error::not_found();
	return system::start_detached(*program, options);
}

Status ensure_running() { return ensure_running(StartOptions{}); }

Status ensure_running(const StartOptions& options) {
	// The first match ends the scan.
	std::uint64_t found = 0;
	if (system::visit_processes([&](const ProcessFacts& facts) {
		    found = facts.pid;
		    return counts_as_running(facts);
	    }))
		return Status::running(found, false);
	return start_daemon(search_directories(), options);
}

bool end_daemon(std::uint64_t pid, std::chrono::milliseconds grace) {
	// The id may have been reused since the daemon was judged: only this user's daemon is ended.
	std::optional<ProcessFacts> facts = system::process_facts(pid);
	if (!facts || facts->owner != Owner::User || !named_like_daemon(*facts)) return false;
	system::end_process(pid, grace);
	return true;
}

} // namespace tarnwick::daemon
