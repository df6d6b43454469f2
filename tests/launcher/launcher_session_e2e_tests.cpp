// The launcher as people live with it, end to end under the test display: start-up decided by the
// first navigation, the daemon watched and restarted, another program on the daemon's port, one
// launcher per user session, the remembered window. Each case runs in a sandbox of its own (fresh
// home and XDG folders, private loopback and process list); the stand-in daemon is told how to
// misbehave through its environment. What the launcher did is read from its log.
#include "child_process.hpp"
#include "support/test_sandbox.hpp"
#include "x_display.hpp"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Child;
using test::read_file;
using test::processes_named;
using test::wait_until;
using testing::XDisplay;

std::size_t count_of(const std::string& text, const std::string& part) {
	std::size_t count = 0;
	for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
	return count;
}

// Seconds of the day of each log line that holds the text ("2026-01-02T10:11:12.345Z text").
std::vector<double> times_of(const std::string& log, const std::string& text) {
	std::vector<double> times;
	std::regex line("T(\\d\\d):(\\d\\d):(\\d\\d\\.\\d+)Z ([^\\n]*)");
	for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
		if ((*it)[4].str().find(text) != std::string::npos)
			times.push_back(std::stoi((*it)[1]) * 3600 + std::stoi((*it)[2]) * 60 + std::stod((*it)[3]));
	return times;
}

// What a user does to a window besides closing it, through a connection of its own.
class XUser {
public:
	XUser() : display_(XOpenDisplay(nullptr)) {}
	~XUser() {
		if (display_ != nullptr) XCloseDisplay(display_);
	}
	void move_resize(unsigned long window, int x, int y, int width, int height) {
		XMoveResizeWindow(display_, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
		XSync(display_, False);
	}
	std::pair<int, int> position(unsigned long window) {
		int x = 0, y = 0;
		::Window child = 0;
		XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
		return {x, y};
	}
	void press_enter(unsigned long window) {
		XSetInputFocus(display_, window, RevertToParent, CurrentTime);
		KeyCode enter = XKeysymToKeycode(display_, XK_Return);
		XTestFakeKeyEvent(display_, enter, True, CurrentTime);
		XTestFakeKeyEvent(display_, enter, False, CurrentTime);
		XSync(display_, False);
	}

private:
	Display* display_;
};

// Another program on the daemon's port: answers every request with a page of its own, or, silent,
// accepts connections and never answers.
class OtherProgramOnPort {
public:
	enum class Replies { Page, Never };

	explicit OtherProgramOnPort(Replies replies = Replies::Page) : replies_(replies) {
		listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		int on = 1;
		setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
		sockaddr_in address{};
		address.sin_family = AF_INET;
		address.sin_port = htons(37338);
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		listening_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(listener_, 16) == 0;
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

class LauncherSession : public ::testing::Test {
protected:
	void SetUp() override {
		TARNWICK_REQUIRE_ISOLATION();
		root_ = fs::path(mkdtemp((fs::temp_directory_path() / "tarnwick-session-XXXXXX").string().data()));
		fs::create_directories(root_ / "launcher");
		fs::copy_file(TARNWICK_LAUNCHER, root_ / "launcher" / "tarnwick_desktop");
		fs::copy_file(TARNWICK_DAEMON, root_ / "launcher" / "tarnwickd");
		test::set_environment("PATH", "/usr/bin:/bin");
		test::set_environment("TARNWICKD_LOG", (root_ / "requests.log").string());
		ASSERT_TRUE(processes_named("tarnwickd").empty());
	}

	void TearDown() override {
		if (!testing::test_sandbox().isolated) return;
		launchers_.clear();
		for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
		std::error_code ignored;
		fs::remove_all(root_, ignored);
	}

	Child& launch() {
		auto output = root_ / ("launcher" + std::to_string(launchers_.size()) + ".err");
		return launchers_.emplace_back(root_ / "launcher" / "tarnwick_desktop", test::ChildOptions{.working_directory = root_, .output_file = output});
	}

	std::optional<XDisplay::TopLevel> window() {
		std::optional<XDisplay::TopLevel> found;
		wait_until([&] { return (found = x.find("Tarnwick")).has_value(); }, 20s);
		return found;
	}

	int windows() {
		int count = 0;
		for (const auto& top : x.top_levels()) count += top.mapped && top.title == "Tarnwick";
		return count;
	}

	// The sandbox's home: the launcher's folders follow XDG_STATE_HOME and XDG_CONFIG_HOME.
	static fs::path state_folder() { return fs::path(std::getenv("XDG_STATE_HOME")) / "tarnwick"; }
	static fs::path window_file() { return fs::path(std::getenv("XDG_CONFIG_HOME")) / "tarnwick" / "window"; }
	std::string log() const { return read_file(state_folder() / "launcher.log"); }
	bool logged(const std::string& text, std::chrono::milliseconds timeout) {
		return wait_until([&] { return log().find(text) != std::string::npos; }, timeout);
	}
	std::string requests() const { return read_file(root_ / "requests.log"); }
	std::string errors(std::size_t launch = 0) const { return read_file(root_ / ("launcher" + std::to_string(launch) + ".err")); }

	// The test program itself holds the port.
	void expect_port_taken_by_this_program() {
		std::string self = fs::read_symlink("/proc/self/exe").filename().string();
		EXPECT_TRUE(logged("showing the port-taken page", 10s)) << log();
		EXPECT_NE(log().find("port 37338 is used by " + self + " (pid " + std::to_string(getpid()) + ")"), std::string::npos) << log();
	}

	void close_and_expect_zero(const XDisplay::TopLevel& top, Child& launcher) {
		x.request_close(top.id);
		EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << log() << errors(launchers_.size() - 1);
	}

	XDisplay x;
	XUser user;
	fs::path root_;
	// References to launchers stay valid as more are added.
	std::deque<Child> launchers_;
};

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

TEST_F(LauncherSession, ADaemonThatCannotStartIsTriedFiveTimesOnTheScheduleThenGivenUpUntilTryAgain) {
	test::set_environment("TARNWICKD_EXIT_STATUS", "3");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(logged("showing the given-up page: the daemon exited with status 3", 50s)) << log();
	std::vector<double> attempts = times_of(log(), "restart attempt ");
	std::vector<double> lost = times_of(log(), "showing the restarting page");
	ASSERT_EQ(attempts.size(), 5u) << log();
	ASSERT_FALSE(lost.empty());
	// Each attempt waits its delay after the previous failure (which follows its start closely).
	double previous = lost[0];
	for (int i = 0; i < 5; i++) {
		double delay = attempts[i] - previous;
		EXPECT_GE(delay, (1 << i) - 0.05) << "attempt " << i + 1 << "\n" << log();
		EXPECT_LE(delay, (1 << i) + 1.0) << "attempt " << i + 1 << "\n" << log();
		previous = attempts[i];
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
	EXPECT_NE(log().find("the first navigation has not ended within"), std::string::npos) << log();
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
