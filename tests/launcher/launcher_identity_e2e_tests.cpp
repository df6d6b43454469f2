// Who the daemon is, end to end: daemons as they really run (going into the background, installed
// under another name, started by a wrapper) are shown at the first launch, after being killed and at
// the next launch; a listener of another regular user never gets a request; a system account's
// daemon is shown and never ended; a daemon that hangs with its socket open is noticed (sooner when
// a navigation to it does not end) and replaced.
#include "launcher_session_fixture.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <fstream>

namespace tarnwick {
namespace {

// How the daemon is installed and how it runs, and the name of the process that listens.
struct DaemonForm {
	const char* name;
	const char* listener;
	friend void PrintTo(const DaemonForm& form, std::ostream* out) { *out << form.name; }
};

class LauncherIdentity : public LauncherSession {
protected:
	// A copy of the daemon under another name, in a folder of its own, as packages install them.
	fs::path real_daemon(const std::string& name) {
		fs::create_directories(root_ / "opt");
		fs::path real = root_ / "opt" / name;
		if (!fs::exists(real)) fs::copy_file(TARNWICK_DAEMON, real);
		return real;
	}

	void install(const DaemonForm& form) {
		fs::path beside = root_ / "launcher" / "tarnwickd";
		std::string name = form.name;
		if (name == "forking") {
			test::set_environment("TARNWICKD_FORK", "1");
		} else if (name == "symbolic-link") {
			fs::remove(beside);
			fs::create_symlink(real_daemon(form.listener), beside);
		} else if (name == "wrapper-script") {
			fs::remove(beside);
			std::ofstream(beside) << "#!/bin/sh\n\"" << real_daemon(form.listener).string() << "\" &\nwait\n";
			fs::permissions(beside, fs::perms::owner_all);
		}
	}

	// Runs the stand-in daemon as another user, logging its requests to a file of its own.
	Child run_daemon_as(int uid, const fs::path& requests) {
		fs::path program = real_daemon("tarnwickd-" + std::to_string(uid));
		fs::create_directories(root_ / "as-user");
		fs::path renamed = root_ / "as-user" / "tarnwickd";
		if (!fs::exists(renamed)) fs::copy_file(program, renamed);
		test::let_others_reach(renamed.parent_path());
		std::ofstream{requests, std::ios::app};
		fs::permissions(requests, fs::perms::all);
		test::let_others_reach(requests.parent_path());
		std::string id = std::to_string(uid);
		test::set_environment("TARNWICKD_LOG", requests.string());
		Child daemon("/usr/bin/setpriv", {.arguments = {"--reuid=" + id, "--regid=" + id, "--clear-groups", renamed.string()}});
		test::set_environment("TARNWICKD_LOG", (root_ / "requests.log").string());
		return daemon;
	}

	// One request to the daemon's port; whether it was answered.
	static bool http_get(const std::string& path) {
		int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		sockaddr_in address{};
		address.sin_family = AF_INET;
		address.sin_port = htons(37338);
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
		char answer[16] = {};
		bool answered = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
		                send(client, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()) && recv(client, answer, 5, MSG_WAITALL) == 5;
		close(client);
		return answered && std::string(answer) == "HTTP/";
	}

	bool listening() {
		return wait_until([] { return read_file("/proc/net/tcp").find(":91DA 00000000:0000 0A") != std::string::npos; }, 10s);
	}
};

class DaemonForms : public LauncherIdentity, public ::testing::WithParamInterface<DaemonForm> {};

TEST_P(DaemonForms, AreShownAtTheFirstLaunchAfterAKillAndAtTheNextLaunch) {
	install(GetParam());
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 1; }, 15s)) << log();

	// Killed while shown: the restarting page, a new daemon of the same form, its page back.
	auto listeners = processes_named(GetParam().listener);
	ASSERT_EQ(listeners.size(), 1u) << log();
	kill(static_cast<pid_t>(listeners[0]), SIGKILL);
	EXPECT_TRUE(logged("showing the restarting page", 5s)) << log();
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 2; }, 15s)) << log();
	close_and_expect_zero(*top, first);

	// The next launch finds it running.
	Child& second = launch();
	top = window();
	ASSERT_TRUE(top) << errors(1);
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 3; }, 15s)) << log();
	EXPECT_EQ(log().find("port-taken"), std::string::npos) << log();
	close_and_expect_zero(*top, second);
}

INSTANTIATE_TEST_SUITE_P(Daemons, DaemonForms,
                         ::testing::Values(DaemonForm{"forking", "tarnwickd"}, DaemonForm{"symbolic-link", "tarnwickd"},
                                           DaemonForm{"wrapper-script", "realdaemon"}),
                         [](const auto& info) {
	                         std::string name = info.param.name;
	                         std::erase(name, '-');
	                         return name;
                         });

// The started process ends with 0 at once, as a daemon going into the background does: its end says
// nothing, the limit for the first answer does.
TEST_F(LauncherIdentity, ADaemonThatGoesIntoTheBackgroundAndNeverListensIsGivenUpForThat) {
	test::set_environment("TARNWICKD_FORK", "1");
	test::set_environment("TARNWICKD_DELAY_LISTEN", "120");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	EXPECT_TRUE(logged("showing the given-up page: the daemon started but did not answer on port 37338 within 30 s", 40s)) << log();
	EXPECT_EQ(log().find("showing the restarting page"), std::string::npos) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherIdentity, AListenerOfAnotherUserGetsNoRequestAtARestartNorAtStart) {
	if (geteuid() != 0) GTEST_SKIP() << "running a daemon as another user needs root";
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 1; }, 15s)) << log();

	// The user's daemon crashes and another user's program takes the port before the restart.
	fs::path theirs = root_ / "as-user" / "requests.log";
	for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
	Child other = run_daemon_as(1234, theirs);
	ASSERT_TRUE(listening());
	EXPECT_TRUE(logged("showing the port-taken page", 15s)) << log();
	EXPECT_NE(log().find("is used by another user (uid 1234)"), std::string::npos) << log();
	close_and_expect_zero(*top, first);

	// A new launch finds it there.
	Child& second = launch();
	top = window();
	ASSERT_TRUE(top) << errors(1);
	EXPECT_TRUE(wait_until([&] { return count_of(log(), "showing the port-taken page") == 2; }, 15s)) << log();
	close_and_expect_zero(*top, second);
	EXPECT_EQ(read_file(theirs), "");
}

TEST_F(LauncherIdentity, ASystemAccountsDaemonIsShownAndNeverEndedOrStartedByTheLauncher) {
	if (geteuid() != 0) GTEST_SKIP() << "running a daemon as another user needs root";
	fs::path theirs = root_ / "as-user" / "requests.log";
	Child service = run_daemon_as(999, theirs);
	ASSERT_TRUE(listening());
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(read_file(theirs), "GET /\n") == 1; }, 15s)) << log();

	service.kill();
	EXPECT_TRUE(logged("the daemon is a system service", 10s)) << log();
	std::this_thread::sleep_for(3s);
	EXPECT_EQ(log().find("restart attempt"), std::string::npos) << log();
	// It comes back by itself, and its page with it.
	Child again = run_daemon_as(999, theirs);
	EXPECT_TRUE(wait_until([&] { return count_of(read_file(theirs), "GET /\n") == 2; }, 20s)) << log();
	close_and_expect_zero(*top, launcher);
	EXPECT_EQ(requests(), "");
}

TEST_F(LauncherIdentity, ADaemonThatHangsWithItsSocketOpenIsEndedAndStartedAgain) {
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 1; }, 15s)) << log();
	auto daemons = processes_named("tarnwickd");
	ASSERT_EQ(daemons.size(), 1u);
	// Deadlocked: it takes requests and never answers.
	ASSERT_TRUE(http_get("/hang"));
	// A reload that does not end has the daemon asked at once.
	ASSERT_TRUE(wait_until([&] {
		user.press(top->id, {XK_F5});
		return wait_until([&] { return count_of(requests(), "GET /\n") == 2; }, 1s);
	}, 15s)) << log();
	EXPECT_TRUE(logged("a navigation to the daemon has not ended within 10 s", 15s)) << log();
	EXPECT_TRUE(logged("lost the daemon: the daemon stopped answering", 35s)) << log();
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 3; }, 20s)) << log();
	EXPECT_FALSE(test::is_running(daemons[0]));
	close_and_expect_zero(*top, launcher);
}

} // namespace
} // namespace tarnwick
