#include "daemon/daemon_identity.hpp"

#include "daemon/daemon.hpp"
#include "daemon/system.hpp"

#include <algorithm>

namespace tarnwick::daemon {

namespace {

// Deeper than any real chain of wrappers; a loop of stale parent ids cannot run for ever.
constexpr int ancestors_looked_at = 32;

} // namespace

std::string describe_other_user(const ProcessFacts& facts) {
	std::string text = "another user";
	std::string inside;
	if (facts.uid) inside = "uid " + std::to_string(*facts.uid);
	if (!facts.user_name.empty()) inside += (inside.empty() ? "" : ", ") + facts.user_name;
	return inside.empty() ? text : text + " (" + inside + ")";
}

bool named_like_daemon(const ProcessFacts& facts) {
	const std::string file_name = system::daemon_file_name().string();
	return std::ranges::any_of(facts.names, [&](const std::string& name) { return name == daemon_name || name == file_name; });
}

bool trusted_owner(Owner owner) { return owner == Owner::User || owner == Owner::System; }

bool counts_as_running(const ProcessFacts& facts) { return !facts.ended && trusted_owner(facts.owner) && named_like_daemon(facts); }

Verdict judge_listener(const ListenerOwner& listener, std::span<const std::uint64_t> started, const FactsOf& facts_of,
                       const std::function<bool(const ListenerOwner&)>& daemon_runs) {
	if (listener.owner == Owner::OtherUser) return Verdict::AnotherUser;
	if (listener.pid == 0) {
		bool unreadable = listener.owner == Owner::System || listener.owner == Owner::Unknown;
		return unreadable && daemon_runs(listener) ? Verdict::Daemon : Verdict::AnotherProgram;
	}
	if (!trusted_owner(listener.owner)) return Verdict::AnotherProgram;
	std::uint64_t pid = listener.pid;
	for (int step = 0; step < ancestors_looked_at && pid > 1; step++) {
		if (std::ranges::find(started, pid) != started.end()) return Verdict::Daemon;
		std::optional<ProcessFacts> facts = facts_of(pid);
		if (!facts) break;
		if (counts_as_running(*facts)) return Verdict::Daemon;
		if (facts->parent == pid) break;
		pid = facts->parent;
	}
	return Verdict::AnotherProgram;
}

} // namespace tarnwick::daemon
