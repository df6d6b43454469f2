// The launcher as a native Wayland client, under a headless Weston that the test starts in its own
// sandbox: no X display is reachable, so GTK can only take the Wayland one. Weston's headless
// backend has no input devices, so nothing can press the window's close button; the launcher is
// asked to end with SIGTERM, as a session that logs out does, which it handles as a close request.
#include "child_process.hpp"
#include "support/test_sandbox.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Child;
using test::read_file;
using test::wait_until;

fs::path folder_of(const char* variable) { return fs::path(std::getenv(variable)); }

// A window saved maximised comes back maximised (the compositor confirms it), and its normal size is
// kept for when it is restored.
TEST(LauncherWayland, ShowsTheDaemonsPageAsAWaylandClientMaximisedAsItWasAndEndsWithZeroWhenAskedToEnd) {
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
	Child compositor(weston, {.arguments = {"--backend=headless-backend.so", "--use-pixman", "--socket=" + socket, "--idle-time=0", "--width=1280",
	                                        "--height=1024", "--no-config"},
	                          .output_file = root / "weston.log"});
	ASSERT_TRUE(wait_until([&] { return fs::exists(folder_of("XDG_RUNTIME_DIR") / socket); }, 20s)) << read_file(root / "weston.log");
	unsetenv("DISPLAY");
	test::set_environment("WAYLAND_DISPLAY", socket);

	const fs::path state = folder_of("XDG_CONFIG_HOME") / "tarnwick" / "window";
	fs::create_directories(state.parent_path());
	std::ofstream(state) << "width=900\nheight=700\nmaximized=1\n";
	Child launcher(root / "launcher" / "tarnwick_desktop", {.working_directory = root, .output_file = root / "launcher.err"});
	const fs::path log = folder_of("XDG_STATE_HOME") / "tarnwick" / "launcher.log";
	EXPECT_TRUE(wait_until([&] { return read_file(log).find("the window is shown on a wayland display") != std::string::npos; }, 30s))
	    << read_file(log) << read_file(root / "launcher.err");
	// The page's load event reports back: the engine rendered it in the Wayland window.
	EXPECT_TRUE(wait_until([&] { return read_file(root / "requests.log").find("GET /loaded") != std::string::npos; }, 30s))
	    << read_file(root / "requests.log") << read_file(root / "launcher.err");

	kill(static_cast<pid_t>(launcher.id()), SIGTERM);
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << read_file(log) << read_file(root / "launcher.err");
	// Wayland tells a client no position: size and maximised state only.
	std::string saved = read_file(state);
	EXPECT_NE(saved.find("width=900\nheight=700\n"), std::string::npos) << saved;
	EXPECT_NE(saved.find("maximized=1\n"), std::string::npos) << saved;
	EXPECT_EQ(saved.find("x="), std::string::npos) << saved;

	compositor.kill();
	std::error_code ignored;
	fs::remove_all(root, ignored);
}

} // namespace
} // namespace tarnwick
