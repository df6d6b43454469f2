// Which listener on the daemon's port is the daemon: a table of processes as the system would show
// them, and the verdict for a listener among them.
#include "daemon/daemon_identity.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick::daemon {
namespace {

using Names = std::vector<std::string>;

ProcessFacts process(std::uint64_t pid, std::uint64_t parent, Owner owner, Names names) {
	return ProcessFacts{pid, parent, owner, std::nullopt, {}, std::move(names), false};
}

struct Case {
	const char* what;
	ListenerOwner listener;
	std::vector<std::uint64_t> started;
	Verdict expected;
};

TEST(DaemonIdentity, ListenersAreJudgedByAncestryNamesAndOwner) {
	// 1 init; 10 the launcher and 11 its engine's process; 20 a daemon it started; 21 that daemon's child; 30 a wrapper script
	// named like the daemon and 31 the real program it started; 40 a program of the user's that
	// only contains the name; 50 a zombie named like the daemon; 60 root's daemon; 70 a program of
	// another user named like the daemon.
	std::map<std::uint64_t, ProcessFacts> table{
	    {1, process(1, 0, Owner::System, {"init"})},
	    {10, process(10, 1, Owner::User, {"tarnwick_deskto", "tarnwick_desktop"})},
	    {20, process(20, 10, Owner::User, {"tarnwickd", "tarnwickd", "realdaemon-1.2"})},
	    {11, process(11, 10, Owner::User, {"WebKitWebProces"})},
	    {21, process(21, 20, Owner::User, {"worker"})},
	    {30, process(30, 1, Owner::User, {"tarnwickd", "sh", "dash"})},
	    {31, process(31, 30, Owner::User, {"realdaemon"})},
	    {40, process(40, 1, Owner::User, {"old-tarnwickd"})},
	    {50, process(50, 1, Owner::User, {"tarnwickd"})},
	    {60, process(60, 1, Owner::System, {"tarnwickd"})},
	    {70, process(70, 1, Owner::OtherUser, {"tarnwickd"})},
	};
	table[50].ended = true;
	FactsOf facts_of = [&](std::uint64_t pid) -> std::optional<ProcessFacts> {
		auto found = table.find(pid);
		if (found == table.end()) return std::nullopt;
		return found->second;
	};
	bool system_daemon = true;
	auto system_daemon_runs = [&](const ListenerOwner&) { return system_daemon; };
	const Case cases[] = {
	    {"the daemon started, under another file name", {20, Owner::User, {}}, {20}, Verdict::Daemon},
	    {"a child of the daemon started", {21, Owner::User, {}}, {20}, Verdict::Daemon},
	    {"the daemon found running (named so by its process name)", {20, Owner::User, {}}, {}, Verdict::Daemon},
	    {"a child of a wrapper named like the daemon", {31, Owner::User, {}}, {}, Verdict::Daemon},
	    {"a program that only contains the name", {40, Owner::User, {}}, {}, Verdict::AnotherProgram},
	    {"another child of the launcher", {11, Owner::User, {}}, {20}, Verdict::AnotherProgram},
	    {"a zombie named like the daemon", {50, Owner::User, {}}, {}, Verdict::AnotherProgram},
	    {"root's daemon", {60, Owner::System, {}}, {}, Verdict::Daemon},
	    {"another user's daemon, even one started here", {70, Owner::OtherUser, 1234}, {70}, Verdict::AnotherUser},
	    {"a socket whose owner is unknown", {20, Owner::Unknown, {}}, {20}, Verdict::AnotherProgram},
	    {"a system socket whose process cannot be read, beside a system daemon", {0, Owner::System, 0}, {}, Verdict::Daemon},
	    {"a user's socket whose process cannot be found", {0, Owner::User, {}}, {}, Verdict::AnotherProgram},
	    {"a socket the system tells nothing of, beside a daemon", {0, Owner::Unknown, {}}, {}, Verdict::Daemon},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.what);
		EXPECT_EQ(judge_listener(c.listener, c.started, facts_of, system_daemon_runs), c.expected);
	}
	system_daemon = false;
	EXPECT_EQ(judge_listener({0, Owner::System, 0}, {}, facts_of, system_daemon_runs), Verdict::AnotherProgram);
	EXPECT_EQ(judge_listener({0, Owner::Unknown, {}}, {}, facts_of, system_daemon_runs), Verdict::AnotherProgram);

	// A parent id that points back at an ancestor cannot loop for ever.
	table[21].parent = 22;
	table[22] = process(22, 21, Owner::User, {"loop"});
	EXPECT_EQ(judge_listener({21, Owner::User, {}}, {}, facts_of, system_daemon_runs), Verdict::AnotherProgram);
}

TEST(DaemonIdentity, TheOtherUserIsNamedByIdAndName) {
	ProcessFacts facts;
	EXPECT_EQ(describe_other_user(facts), "another user");
	facts.uid = 1234;
	EXPECT_EQ(describe_other_user(facts), "another user (uid 1234)");
	facts.user_name = "ann";
	EXPECT_EQ(describe_other_user(facts), "another user (uid 1234, ann)");
}

} // namespace
} // namespace tarnwick::daemon
