// The launcher as people live with it, end to end under the test display: start-up decided by the
// first navigation, the daemon watched and restarted, another program on the daemon's port, one
// launcher per user session, the remembered window. Each case runs in a sandbox of its own (fresh
// home and XDG folders, private loopback and process list); the stand-in daemon is told how to
// misbehave through its environment. What the launcher did is read from its log.
#include "launcher_session_fixture.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

// Seconds of the day of each log line that begins with the text ("2026-01-02T10:11:12.345Z text").
std::vector<double> times_of(const std::string& log, const std::string& text) {
	std::vector<double> times;
	std::regex line("T(\\d\\d):(\\d\\d):(\\d\\d\\.\\d+)Z ([^\\n]*)");
	for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
		if ((*it)[4].str().rfind(text, 0) == 0)
			times.push_back(std::stoi((*it)[1]) * 3600 + std::stoi((*it)[2]) * 60 + std::stod((*it)[3]));
	return times;
}

// Another program on the daemon's port: answers every request with a page of its own, or, silent,
// accepts connections and never answers.
class OtherProgramOnPort {
public:
	enum class Replies { Page, Never };

	explicit OtherProgramOnPort(Replies replies = Replies::Page) : replies_(replies) {
		listener_ = take_daemon_port();
		listening_ = listener_ >= 0;
		if (listening_) thread_ = std::thread([this] { serve(); });
	}
	~OtherProgramOnPort() {
		stop_ = true;
		if (thread_.joinable()) thread_.join();
		for (int connection : held_) close(connection);
		close(listener_);
	}
	bool listening() const { return listening_; }

private:
	void serve() {
		while (!stop_) {
			pollfd ready{listener_, POLLIN, 0};
			if (poll(&ready, 1, 100) <= 0) continue;
			int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
			if (connection < 0) continue;
			if (replies_ == Replies::Never) {
				held_.push_back(connection);
				continue;
			}
			pollfd readable{connection, POLLIN, 0};
			char buffer[4096];
			if (poll(&readable, 1, 200) > 0) (void)!recv(connection, buffer, sizeof buffer, 0);
			std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 20\r\nConnection: close\r\n\r\n<h1>Other page</h1>\n";
			(void)!send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
			close(connection);
		}
	}

	Replies replies_;
	std::vector<int> held_;
	int listener_ = -1;
	bool listening_ = false;
	std::atomic<bool> stop_{false};
	std::thread thread_;
};

// Clients of the launcher's instance socket that connect and never say a word.
class SilentClients {
public:
	SilentClients(const fs::path& socket_path, int count) {
		sockaddr_un address{};
		address.sun_family = AF_UNIX;
		socket_path.native().copy(address.sun_path, sizeof address.sun_path - 1);
		for (int i = 0; i < count; i++) {
			int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
			if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) connected_++;
			connections_.push_back(connection);
		}
	}
	~SilentClients() {
		for (int connection : connections_) close(connection);
	}
	int connected() const { return connected_; }

private:
	std::vector<int> connections_;
	int connected_ = 0;
};

constexpr std::string_view shown = "the window is shown";

TEST_F(LauncherSession, ADaemonThatListensLateIsLoadedOnceWithNoPageOfTheLaunchersFirst) {
	test::set_environment("TARNWICKD_DELAY_LISTEN", "0.3");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return requests().find("GET /loaded") != std::string::npos; }, 15s)) << requests();
	std::this_thread::sleep_for(1500ms);
	EXPECT_EQ(count_of(requests(), "GET /\n"), 1u) << requests();
	EXPECT_EQ(log().find("showing the"), std::string::npos) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherSession, AKilledDaemonIsNoticedRestartedAndItsPageBroughtBack) {
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 1; }, 15s));
	auto daemons = processes_named("tarnwickd");
	ASSERT_EQ(daemons.size(), 1u);
	auto killed = std::chrono::steady_clock::now();
	kill(static_cast<pid_t>(daemons[0]), SIGKILL);
	ASSERT_TRUE(logged("showing the restarting page", 5s)) << log();
	EXPECT_LT(std::chrono::steady_clock::now() - killed, 2s);
	EXPECT_NE(log().find("killed by signal 9"), std::string::npos) << log();
	// A new daemon, and its page back in the window.
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 2; }, 10s)) << log();
	auto restarted = processes_named("tarnwickd");
	ASSERT_EQ(restarted.size(), 1u);
	EXPECT_NE(restarted[0], daemons[0]);
	EXPECT_NE(log().find("showing the daemon's page http://127.0.0.1:37338"), std::string::npos) << log();
	close_and_expect_zero(*top, launcher);
}

// No end of its process is reported for a daemon the launcher found running: its listener closing is.
TEST_F(LauncherSession, ADaemonFoundRunningIsNoticedWhenItsListenerCloses) {
	std::optional<Child> found(std::in_place, root_ / "launcher" / "tarnwickd");
	ASSERT_TRUE(wait_until([] { return !processes_named("tarnwickd").empty(); }, 5s));
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 1; }, 15s)) << log();
	ASSERT_NE(log().find("the daemon runs already"), std::string::npos) << log();
	auto killed = std::chrono::steady_clock::now();
	found->kill();
	ASSERT_TRUE(logged("showing the restarting page", 5s)) << log();
	EXPECT_LT(std::chrono::steady_clock::now() - killed, 2s);
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 2; }, 10s)) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherSession, ADaemonThatCannotStartIsTriedFiveTimesOnTheScheduleThenGivenUpUntilTryAgain) {
	test::set_environment("TARNWICKD_EXIT_STATUS", "3");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	// The reason gives what the daemon said on its way out.
	ASSERT_TRUE(logged("showing the given-up page: the daemon exited with status 3, saying \"tarnwickd: cannot start: told to exit with status 3\"", 50s))
	    << log();
	std::vector<double> attempts = times_of(log(), "restart attempt ");
	std::vector<double> failures = times_of(log(), "the daemon exited with status 3");
	ASSERT_EQ(attempts.size(), 5u) << log();
	ASSERT_GE(failures.size(), 5u) << log();
	// The first start fails before the window is shown; the launcher takes it up when it shows the
	// restarting page, which a busy machine shows later.
	std::vector<double> restarting = times_of(log(), "showing the restarting page");
	ASSERT_FALSE(restarting.empty()) << log();
	failures[0] = std::max(failures[0], restarting[0]);
	// Each attempt waits its delay after the previous failure, however long that start took to fail.
	for (int i = 0; i < 5; i++) {
		double delay = attempts[i] - failures[i];
		EXPECT_GE(delay, (1 << i) - 0.05) << "attempt " << i + 1 << "\n" << log();
		EXPECT_LE(delay, (1 << i) + 1.0) << "attempt " << i + 1 << "\n" << log();
	}
	EXPECT_NE(log().find("exited with status 3"), std::string::npos);

	// "Try again" has the focus: Enter runs the supervisor once more.
	test::set_environment("TARNWICKD_EXIT_STATUS", "3");
	std::size_t before = count_of(log(), "exited with status 3");
	// The log names the page when it is asked for, which may be before it has loaded and taken the
	// focus: a user presses again.
	ASSERT_TRUE(wait_until([&] {
		user.press_enter(top->id);
		return logged("the user asked to try again", 1s);
	}, 15s)) << log();
	EXPECT_TRUE(wait_until([&] { return count_of(log(), "exited with status 3") > before; }, 10s)) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherSession, AnotherProgramOnThePortIsNamedAndItsPageNeverStays) {
	OtherProgramOnPort other;
	ASSERT_TRUE(other.listening());
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	expect_port_taken_by_this_program();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherSession, AProgramOnThePortThatNeverAnswersDoesNotKeepTheWindowHidden) {
	OtherProgramOnPort other(OtherProgramOnPort::Replies::Never);
	ASSERT_TRUE(other.listening());
	auto launched = std::chrono::steady_clock::now();
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	EXPECT_LT(std::chrono::steady_clock::now() - launched, 10s);
	expect_port_taken_by_this_program();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherSession, LaterLaunchesRaiseTheFirstWindowAndEndWithZero) {
	// Two together: one of them goes on, the other asks it and ends.
	Child& first = launch();
	Child& second = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors(0) << errors(1);
	ASSERT_TRUE(wait_until([&] { return first.wait(0ms).has_value() || second.wait(0ms).has_value(); }, 15s));
	Child& running = first.wait(0ms).has_value() ? second : first;
	Child& ended = first.wait(0ms).has_value() ? first : second;
	EXPECT_EQ(ended.wait(0ms).value_or(-1), 0);
	// A third, while the window is open.
	Child& third = launch();
	EXPECT_EQ(third.wait(15s).value_or(-1), 0) << errors(2);
	std::this_thread::sleep_for(500ms);
	EXPECT_EQ(windows(), 1);
	EXPECT_EQ(processes_named("tarnwickd").size(), 1u);
	EXPECT_EQ(count_of(log(), "raised its window"), 2u) << log();
	close_and_expect_zero(*top, running);
}

// More clients that say nothing than the launcher serves at once: a later launch is still raised.
TEST_F(LauncherSession, ClientsThatSayNothingDoNotKeepALaterLaunchFromRaisingTheWindow) {
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(logged(std::string(shown), 15s)) << log();
	SilentClients silent(fs::path(std::getenv("XDG_RUNTIME_DIR")) / "tarnwick" / "launcher.socket", 6);
	ASSERT_EQ(silent.connected(), 6);
	auto launched = std::chrono::steady_clock::now();
	Child& second = launch();
	EXPECT_EQ(second.wait(15s).value_or(-1), 0) << errors(1) << log();
	EXPECT_LT(std::chrono::steady_clock::now() - launched, 5s);
	EXPECT_EQ(count_of(log(), "raised its window"), 1u) << log();
	EXPECT_EQ(windows(), 1);
	close_and_expect_zero(*top, first);
}

// Without XDG_RUNTIME_DIR another user may make the lock folder's name first: it is not used, and
// the check goes on in a folder of the user's own.
TEST_F(LauncherSession, AnotherUsersFolderInTheLocksPlaceDoesNotTurnTheCheckOff) {
	fs::path taken = fs::path(std::getenv("TMPDIR")) / ("tarnwick-" + std::to_string(getuid()));
	fs::create_directory(taken);
	if (chown(taken.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "no other user to give a folder to here";
	unsetenv("XDG_RUNTIME_DIR");
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(logged(std::string(shown), 15s)) << log();
	Child& second = launch();
	EXPECT_EQ(second.wait(15s).value_or(-1), 0) << errors(1) << log();
	EXPECT_EQ(windows(), 1);
	EXPECT_EQ(log().find("not checking"), std::string::npos) << log();
	EXPECT_EQ(fs::status(taken.string() + ".1").permissions(), fs::perms::owner_all);
	close_and_expect_zero(*top, first);
}

// A launch while the first is ending (its error box is open: no daemon to start) is not told that
// a window was raised: it waits for the first to end and then goes on as the first launch.
TEST_F(LauncherSession, ALaunchWhileTheFirstEndsWaitsForItAndThenGoesOn) {
	fs::remove(root_ / "launcher" / "tarnwickd");
	Child& first = launch();
	std::optional<XDisplay::TopLevel> box;
	ASSERT_TRUE(wait_until([&] { return (box = x.find("Tarnwick Error")).has_value(); }, 20s)) << errors(0);
	Child& second = launch();
	// It stopped listening when it began to end, or answers that it is closing.
	ASSERT_TRUE(logged("another launcher does not answer: waiting for it", 10s) || log().find("is closing") != std::string::npos) << log() << errors(1);
	EXPECT_FALSE(second.wait(500ms).has_value());
	// The user dismisses the box, again if a close came before the box could take it (and the
	// first's box may be listed a moment after the first ended).
	auto dismiss = [&](Child& launcher) {
		return wait_until([&] {
			if ((box = x.find("Tarnwick Error"))) x.request_close(box->id);
			return launcher.wait(300ms).has_value();
		}, 20s);
	};
	ASSERT_TRUE(dismiss(first));
	EXPECT_EQ(first.wait(0ms).value_or(-1), 1);
	ASSERT_TRUE(wait_until([&] { return count_of(log(), "Unable to spawn") == 2; }, 20s)) << log() << errors(1);
	EXPECT_TRUE(dismiss(second));
	EXPECT_EQ(second.wait(0ms).value_or(-1), 1);
	EXPECT_EQ(log().find("raised its window"), std::string::npos) << log();
}

// A size saved on a larger monitor (or damaged) does not put the window's corners off-screen; the
// files kept about the window are the user's alone.
TEST_F(LauncherSession, AWindowSavedLargerThanTheScreenComesBackInsideItAndItsFilesAreTheUsersAlone) {
	fs::create_directories(window_file().parent_path());
	std::ofstream(window_file()) << "width=5000\nheight=4000\nx=0\ny=0\nmaximized=0\n";
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	auto [screen_width, screen_height] = user.screen();
	EXPECT_TRUE(wait_until([&] {
		auto now = x.find("Tarnwick");
		return now && now->width <= screen_width && now->height <= screen_height;
	}, 5s)) << x.find("Tarnwick")->width << "x" << x.find("Tarnwick")->height;
	close_and_expect_zero(*top, launcher);
	auto mode = [](const fs::path& path) {
		struct stat info {};
		return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000u;
	};
	EXPECT_EQ(mode(window_file().parent_path()), 0700u);
	EXPECT_EQ(mode(window_file()), 0600u);
	EXPECT_EQ(mode(state_folder()), 0700u);
	EXPECT_EQ(mode(state_folder() / "launcher.log"), 0600u);
}

TEST_F(LauncherSession, TheWindowComesBackWhereItWasAndACorruptStateGivesTheDefaults) {
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	user.move_resize(top->id, 120, 90, 800, 600);
	ASSERT_TRUE(wait_until([&] { return x.find("Tarnwick") && x.find("Tarnwick")->width == 800; }, 5s));
	std::this_thread::sleep_for(300ms);
	close_and_expect_zero(*top, first);

	Child& second = launch();
	top = window();
	ASSERT_TRUE(top) << errors(1);
	EXPECT_TRUE(wait_until([&] { return x.find("Tarnwick") && x.find("Tarnwick")->width == 800 && x.find("Tarnwick")->height == 600; }, 5s))
	    << read_file(window_file());
	EXPECT_EQ(user.position(top->id), std::make_pair(120, 90)) << read_file(window_file());
	close_and_expect_zero(*top, second);

	std::ofstream(window_file(), std::ios::trunc) << "width=banana\n";
	Child& third = launch();
	top = window();
	ASSERT_TRUE(top) << errors(2);
	EXPECT_EQ(top->width, 1024);
	EXPECT_EQ(top->height, 768);
	EXPECT_EQ(count_of(errors(2), "is corrupt; using the defaults"), 1u) << errors(2);
	close_and_expect_zero(*top, third);
}

} // namespace
} // namespace tarnwick
