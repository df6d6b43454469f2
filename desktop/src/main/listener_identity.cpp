#include "listener_identity.hpp"

#include "daemon/system.hpp"

#include <vector>

namespace tarnwick {

std::optional<IdentifiedListener> identify_listener(uint16_t port, std::span<const std::uint64_t> started, std::span<const std::uint64_t> likely) {
	std::vector<std::uint64_t> look_first(likely.begin(), likely.end());
	look_first.insert(look_first.end(), started.begin(), started.end());
	std::optional<PortListener> listener = port_listener(port, look_first);
	if (!listener) return std::nullopt;
	daemon::ListenerOwner owner{listener->pid, listener->owner, listener->uid};
	// A system service's processes cannot be looked into: one named like the daemon running under
	// the socket's account stands for it; where nothing of the socket's owner is known, any.
	auto daemon_runs = [](const daemon::ListenerOwner& of) {
		return daemon::system::visit_processes([&](const daemon::ProcessFacts& facts) {
			if (!daemon::counts_as_running(facts)) return false;
			return of.owner == daemon::Owner::Unknown || (facts.owner == of.owner && (!of.uid || facts.uid == of.uid));
		});
	};
	return IdentifiedListener{*listener, daemon::judge_listener(owner, started, daemon::system::process_facts, daemon_runs)};
}

std::string describe_holder(const IdentifiedListener& holder) {
	const PortListener& listener = holder.listener;
	if (holder.verdict == daemon::Verdict::AnotherUser) {
		daemon::ProcessFacts facts;
		facts.uid = listener.uid;
		facts.user_name = listener.user_name;
		return daemon::describe_other_user(facts);
	}
	if (listener.name.empty()) return "an unknown program";
	return listener.name + " (pid " + std::to_string(listener.pid) + ")";
}

} // namespace tarnwick
