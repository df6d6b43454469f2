// The launcher as a native Wayland client, under a Weston that the test starts in its own sandbox,
// with no X display given to the launcher, so GTK can only take the Wayland one. The headless
// backend has no input devices: there the launcher is asked to end with SIGTERM, as a session that
// logs out does, which it handles as a close request. Nested in the test display (the X11 backend),
// Weston takes the X pointer as its seat's, and the window's own close button is clicked.
#include "launcher_session_fixture.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Child;
using test::read_file;
using test::wait_until;

fs::path folder_of(const char* variable) { return fs::path(std::getenv(variable)); }

// Starts Weston with the backend's arguments and the launcher on it, from a saved maximised state
// of 900 by 700; once the daemon's page rendered, `end` ends the launcher, which must exit with 0 and
// save that state again (the compositor confirmed the maximise).
void run_under_weston(const std::vector<std::string>& backend, const std::function<void(test::Child&)>& end) {
	TARNWICK_REQUIRE_ISOLATION();
	const fs::path weston = "/usr/bin/weston";
	if (!fs::exists(weston)) GTEST_SKIP() << "no " << weston << " (scripts/install-deps.sh test installs it)";
	fs::path root = fs::path(mkdtemp((fs::temp_directory_path() / "tarnwick-wayland-XXXXXX").string().data()));
	fs::create_directories(root / "launcher");
	fs::copy_file(TARNWICK_LAUNCHER, root / "launcher" / "tarnwick_desktop");
	fs::copy_file(TARNWICK_DAEMON, root / "launcher" / "tarnwickd");
	test::set_environment("PATH", "/usr/bin:/bin");
	test::set_environment("TARNWICKD_LOG", (root / "requests.log").string());

	const std::string socket = "tarnwick-test-" + std::to_string(getpid());
	fs::permissions(folder_of("XDG_RUNTIME_DIR"), fs::perms::owner_all, fs::perm_options::replace);
	// No panel: a maximised window fills the output.
	std::ofstream(root / "weston.ini") << "[core]\nidle-time=0\n[shell]\npanel-position=none\nbackground-color=0xff204060\n";
	std::vector<std::string> arguments = backend;
	arguments.insert(arguments.end(), {std::string("--use-pixman"), "--socket=" + socket, "--config=" + (root / "weston.ini").string()});
	Child compositor(weston, {.arguments = arguments, .output_file = root / "weston.log"});
	ASSERT_TRUE(wait_until([&] { return fs::exists(folder_of("XDG_RUNTIME_DIR") / socket); }, 20s)) << read_file(root / "weston.log");
	std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
	unsetenv("DISPLAY");
	test::set_environment("WAYLAND_DISPLAY", socket);

	const fs::path state = folder_of("XDG_CONFIG_HOME") / "tarnwick" / "window";
	fs::create_directories(state.parent_path());
	std::ofstream(state) << "width=900\nheight=700\nmaximized=1\n";
	Child launcher(root / "launcher" / "tarnwick_desktop", {.working_directory = root, .output_file = root / "launcher.err"});
	if (!display.empty()) test::set_environment("DISPLAY", display);
	const fs::path log = folder_of("XDG_STATE_HOME") / "tarnwick" / "launcher.log";
	EXPECT_TRUE(wait_until([&] { return read_file(log).find("the window is shown on a wayland display") != std::string::npos; }, 30s))
	    << read_file(log) << read_file(root / "launcher.err");
	// The page's load event reports back: the engine rendered it in the Wayland window.
	EXPECT_TRUE(wait_until([&] { return read_file(root / "requests.log").find("GET /loaded") != std::string::npos; }, 30s))
	    << read_file(root / "requests.log") << read_file(root / "launcher.err");

	end(launcher);
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << read_file(log) << read_file(root / "launcher.err") << read_file(root / "weston.log");
	// Wayland tells a client no position: size and maximised state only.
	std::string saved = read_file(state);
	EXPECT_NE(saved.find("width=900\nheight=700\n"), std::string::npos) << saved;
	EXPECT_NE(saved.find("maximized=1\n"), std::string::npos) << saved;
	EXPECT_EQ(saved.find("x="), std::string::npos) << saved;

	compositor.kill();
	std::error_code ignored;
	fs::remove_all(root, ignored);
}

TEST(LauncherWayland, ShowsTheDaemonsPageAsAWaylandClientMaximisedAsItWasAndEndsWithZeroWhenAskedToEnd) {
	run_under_weston({"--backend=headless-backend.so", "--width=1280", "--height=1024"},
	                 [](Child& launcher) { kill(static_cast<pid_t>(launcher.id()), SIGTERM); });
}

// An X server of the case's own, so that no other test's window can come between the pointer and
// Weston's: Xvfb on the first display number no running server holds (Xvfb itself takes over a
// stale lock), larger than Weston's window so that the pointer can come into it from outside. Ended
// with SIGTERM, so that it removes its lock and socket.
struct PrivateXServer {
	std::optional<Child> server;
	std::string display;
	PrivateXServer() {
		for (int number = 150; number < 250 && !server; number++) {
			std::ifstream lock("/tmp/.X" + std::to_string(number) + "-lock");
			if (long holder = 0; lock >> holder && test::is_running(static_cast<std::uint64_t>(holder))) continue;
			display = ":" + std::to_string(number);
			server.emplace("/usr/bin/Xvfb", test::ChildOptions{.arguments = {display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}});
			auto answers = [&] {
				Display* connection = XOpenDisplay(display.c_str());
				if (connection != nullptr) XCloseDisplay(connection);
				return connection != nullptr;
			};
			if (!wait_until([&] { return !test::is_running(server->id()) || answers(); }, 10s) || !test::is_running(server->id())) server.reset();
		}
	}
	~PrivateXServer() {
		if (!server) return;
		kill(static_cast<pid_t>(server->id()), SIGTERM);
		server->wait(5s);
	}
};

TEST(LauncherWayland, TheWindowsOwnCloseButtonEndsItWithZero) {
	if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb";
	PrivateXServer x_server;
	ASSERT_TRUE(x_server.server) << "no display number free";
	test::set_environment("DISPLAY", x_server.display);
	constexpr int width = 1024;
	constexpr int height = 768;
	constexpr unsigned long background = 0x204060;
	run_under_weston({"--backend=x11-backend.so", "--width=" + std::to_string(width), "--height=" + std::to_string(height)}, [&](Child& launcher) {
		XDisplay x;
		XUser user(x_server.display.c_str());
		std::optional<XDisplay::TopLevel> output;
		ASSERT_TRUE(wait_until([&] { return (output = x.find("Weston Compositor - screen0")).has_value(); }, 10s));
		// Maximised once both top corners show the title bar: the same colour, neither black (nothing
		// drawn yet) nor the shell's background, and still so a moment later (the shell fades the
		// output in from black, and its blends are neither).
		auto corners = [&] { return std::pair{user.pixel(output->id, 40, 3) & 0xFFFFFF, user.pixel(output->id, width - 40, 3) & 0xFFFFFF}; };
		ASSERT_TRUE(wait_until([&] {
			auto [left, right] = corners();
			if (left != right || left == 0 || left == background) return false;
			std::this_thread::sleep_for(300ms);
			return corners() == std::pair{left, right};
		}, 15s));
		// GTK draws the title bar itself on Weston; the close button is its last, in the corner. The
		// pointer comes into Weston's window from outside it, as a hand brings it: Weston places its
		// own pointer where the X pointer enters and follows its moves from there. A click that comes
		// before the title bar takes clicks on a loaded machine is clicked again.
		for (int click = 0; click < 5 && test::is_running(launcher.id()); click++) {
			user.point(output->id, width + 50, height + 50);
			user.click(output->id, width - 19, 18);
			wait_until([&] { return !test::is_running(launcher.id()); }, 3s);
		}
	});
}

} // namespace
} // namespace tarnwick
