// What the launcher's end-to-end cases under the test display share: a fresh launcher and daemon
// in the case's sandbox, its log and the daemon's requests, and a user acting through XTest.
#pragma once

#include "child_process.hpp"
#include "support/test_sandbox.hpp"
#include "x_display.hpp"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace tarnwick {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Child;
using test::processes_named;
using test::read_file;
using test::wait_until;
using testing::XDisplay;

inline std::size_t count_of(const std::string& text, const std::string& part) {
	std::size_t count = 0;
	for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
	return count;
}

// What a user does to a window besides closing it, through a connection of its own.
class XUser {
public:
	explicit XUser(const char* display = nullptr) : display_(XOpenDisplay(display)) {}
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
	// The pixel's value at a point of the window, as the server stores it (0xRRGGBB at depth 24).
	unsigned long pixel(unsigned long window, int x, int y) {
		XImage* image = XGetImage(display_, window, x, y, 1, 1, AllPlanes, ZPixmap);
		if (image == nullptr) return 0;
		unsigned long value = XGetPixel(image, 0, 0);
		XDestroyImage(image);
		return value;
	}
	// Hidden as a window manager hides a window (unmapped and withdrawn).
	void withdraw(unsigned long window) {
		XWithdrawWindow(display_, window, DefaultScreen(display_));
		XSync(display_, False);
	}
	std::pair<int, int> screen() { return {DisplayWidth(display_, DefaultScreen(display_)), DisplayHeight(display_, DefaultScreen(display_))}; }
	void press_enter(unsigned long window) { press(window, {XK_Return}); }
	// The keys held down in order, then let go in reverse: {XK_Control_L, XK_r} is Ctrl+R.
	void press(unsigned long window, std::initializer_list<KeySym> keys) {
		XSetInputFocus(display_, window, RevertToParent, CurrentTime);
		for (KeySym key : keys) XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, key), True, CurrentTime);
		for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, *key), False, CurrentTime);
		XSync(display_, False);
	}
	// The pointer moved to a point of the window, raised and focused.
	void point(unsigned long window, int x, int y) {
		XRaiseWindow(display_, window);
		XSetInputFocus(display_, window, RevertToParent, CurrentTime);
		auto [left, top] = position(window);
		XTestFakeMotionEvent(display_, -1, left + x, top + y, CurrentTime);
		XSync(display_, False);
	}
	// A left click at a point of the window, as the pointer does it: raised and focused, then the
	// pointer there before the button, as a hand moves it.
	void click(unsigned long window, int x, int y) {
		point(window, x, y);
		std::this_thread::sleep_for(50ms);
		XTestFakeButtonEvent(display_, 1, True, CurrentTime);
		XTestFakeButtonEvent(display_, 1, False, CurrentTime);
		XSync(display_, False);
	}

private:
	Display* display_;
};

// The test program itself takes the daemon's port, once the daemon's closed connections
// (TIME_WAIT) let it; -1 when it could not.
inline int take_daemon_port() {
	int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	int reuse = 1;
	setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(37338);
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	if (!wait_until([&] { return bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0; }, std::chrono::seconds(5)) ||
	    listen(holder, 16) != 0) {
		close(holder);
		return -1;
	}
	return holder;
}

// The launcher and the stand-in daemon beside it; the daemon logs its requests.
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

	Child& launch(std::vector<std::string> arguments = {}) {
		auto output = root_ / ("launcher" + std::to_string(launchers_.size()) + ".err");
		return launchers_.emplace_back(root_ / "launcher" / "tarnwick_desktop",
		                               test::ChildOptions{.arguments = std::move(arguments), .working_directory = root_, .output_file = output});
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

	// A default browser for http and https that writes each address it is given to opened.log.
	void register_default_browser() {
		fs::path handler = root_ / "browser.sh";
		std::ofstream(handler) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << (root_ / "opened.log").string() << "'\n";
		fs::permissions(handler, fs::perms::owner_all);
		fs::path applications = fs::path(std::getenv("XDG_DATA_HOME")) / "applications";
		fs::create_directories(applications);
		std::ofstream(applications / "test-browser.desktop") << "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" << handler.string()
		                                                       << " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
		std::ofstream(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list")
		    << "[Default Applications]\nx-scheme-handler/http=test-browser.desktop\nx-scheme-handler/https=test-browser.desktop\n";
	}
	std::string opened() const { return read_file(root_ / "opened.log"); }
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

} // namespace tarnwick
