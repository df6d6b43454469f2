// The real launcher process under the test display, the way a user meets it: the daemon is found or
// started, the "Tarnwick" window shows its page, the close button ends the program with 0; without a
// daemon anywhere one error box appears and the program ends with 1. Each case runs in its own
// sandbox, where the daemon's fixed port is free and the process list shows only its own processes.
#include "child_process.hpp"
#include "support/test_sandbox.hpp"
#include "x_display.hpp"

#include <gtest/gtest.h>


#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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

// Running processes whose executable lies in the directory.
std::size_t processes_from(const fs::path& directory, const std::string& name) {
	std::size_t count = 0;
	for (std::uint64_t id : processes_named(name)) {
		std::error_code error;
		count += fs::read_symlink("/proc/" + std::to_string(id) + "/exe", error).parent_path() == directory;
	}
	return count;
}

class LauncherRun : public ::testing::Test {
protected:
	void SetUp() override {
		TARNWICK_REQUIRE_ISOLATION();
		root_ = fs::path(mkdtemp((fs::temp_directory_path() / "tarnwick-e2e-XXXXXX").string().data()));
		launcher_dir_ = root_ / "launcher";
		elsewhere_dir_ = root_ / "elsewhere";
		fs::create_directories(launcher_dir_);
		fs::create_directories(elsewhere_dir_);
		fs::copy_file(TARNWICK_LAUNCHER, launcher_dir_ / "tarnwick_desktop");
		log_ = root_ / "requests.log";
		ASSERT_EQ(processes_named("tarnwickd").size(), 0u) << "a daemon is already running";
		// Nothing on PATH holds a daemon; a started one reports its requests.
		for (const char* name : {"PATH", "TARNWICKD_LOG", "LANG"})
			if (const char* value = std::getenv(name)) saved_environment_.emplace_back(name, value);
		setenv("PATH", "/usr/bin:/bin", 1);
		setenv("TARNWICKD_LOG", log_.c_str(), 1);
	}

	void TearDown() override {
		// Without a sandbox of its own the test has started nothing, and every daemon is somebody else's.
		if (!testing::test_sandbox().isolated) return;
		for (auto& [name, value] : saved_environment_) setenv(name.c_str(), value.c_str(), 1);
		launcher_.reset();
		started_.clear();
		// The daemon the launcher started has left it; the sandbox's process list holds no others.
		for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
		std::error_code ignored;
		if (!root_.empty()) fs::remove_all(root_, ignored);
	}

	void put_daemon_beside_launcher() { fs::copy_file(TARNWICK_DAEMON, launcher_dir_ / "tarnwickd"); }

	void start_launcher() {
		launcher_.emplace(launcher_dir_ / "tarnwick_desktop", test::ChildOptions{.working_directory = root_, .output_file = root_ / "launcher.err"});
	}

	void start_daemon_elsewhere(std::vector<std::string> arguments = {}) {
		fs::copy_file(TARNWICK_DAEMON, elsewhere_dir_ / "tarnwickd", fs::copy_options::overwrite_existing);
		started_.emplace_back(elsewhere_dir_ / "tarnwickd",
		                      test::ChildOptions{.arguments = std::move(arguments), .working_directory = root_, .output_file = root_ / "daemon.err"});
	}

	// The launcher's exit code, or -1 when it did not end in time.
	int launcher_exit_code(std::chrono::milliseconds timeout = 15s) { return launcher_->wait(timeout).value_or(-1); }
	bool launcher_running() { return !launcher_->wait(0ms).has_value(); }

	std::string requests() const { return read_file(log_); }
	std::string launcher_errors() const { return read_file(root_ / "launcher.err"); }

	std::optional<XDisplay::TopLevel> wait_for_window(const std::string& title) {
		std::optional<XDisplay::TopLevel> window;
		wait_until([&] { return (window = x.find(title)).has_value(); }, 20s);
		return window;
	}

	XDisplay x;
	fs::path root_, launcher_dir_, elsewhere_dir_, log_;
	std::optional<Child> launcher_;
	std::vector<Child> started_;
	std::vector<std::pair<std::string, std::string>> saved_environment_;
};

TEST_F(LauncherRun, StartsTheDaemonBesideItShowsItsPageAndEndsWithZeroWhenClosed) {
	put_daemon_beside_launcher();
	start_launcher();
	std::optional<XDisplay::TopLevel> window = wait_for_window("Tarnwick");
	ASSERT_TRUE(window) << launcher_errors();
	EXPECT_EQ(window->width, 1024);
	EXPECT_EQ(window->height, 768);
	EXPECT_EQ(processes_from(launcher_dir_, "tarnwickd"), 1u);
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 10s)) << requests();
	// The page is drawn: a blank window would show one colour.
	EXPECT_TRUE(wait_until([&] { return x.distinct_colours(window->id) > 2; }, 10s));

	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0) << launcher_errors();
	// Detached: the daemon outlives the launcher.
	EXPECT_EQ(processes_named("tarnwickd").size(), 1u);
}

TEST_F(LauncherRun, UsesADaemonThatAlreadyRunsAndStartsNoOther) {
	put_daemon_beside_launcher();
	start_daemon_elsewhere();
	ASSERT_TRUE(wait_until([] { return processes_named("tarnwickd").size() == 1; }, 5s));
	start_launcher();
	std::optional<XDisplay::TopLevel> window = wait_for_window("Tarnwick");
	ASSERT_TRUE(window) << launcher_errors();
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 10s));
	EXPECT_EQ(processes_named("tarnwickd").size(), 1u);
	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherRun, WithoutADaemonAnywhereShowsOneErrorBoxAndEndsWithOne) {
	start_launcher();
	bool tarnwick_window_seen = false;
	std::optional<XDisplay::TopLevel> box;
	ASSERT_TRUE(wait_until(
	    [&] {
		    tarnwick_window_seen = tarnwick_window_seen || x.find("Tarnwick").has_value();
		    return (box = x.find("Tarnwick Error")).has_value();
	    },
	    20s));
	int boxes = 0;
	for (const XDisplay::TopLevel& window : x.top_levels()) boxes += window.mapped && window.title == "Tarnwick Error";
	EXPECT_EQ(boxes, 1);
	// Still open until the user dismisses it.
	std::this_thread::sleep_for(300ms);
	EXPECT_TRUE(launcher_running());

	x.request_close(box->id);
	EXPECT_EQ(launcher_exit_code(), 1);
	EXPECT_FALSE(tarnwick_window_seen);
	EXPECT_NE(launcher_errors().find("Unable to spawn the Tarnwick daemon: program not found\n"), std::string::npos) << launcher_errors();
	EXPECT_EQ(processes_named("tarnwickd").size(), 0u);
}

// The box speaks the user's language, from the translations beside the program; the log stays English.
TEST_F(LauncherRun, TheErrorBoxSpeaksTheUsersLanguage) {
	fs::copy(fs::path(TARNWICK_LAUNCHER).parent_path() / "locale", launcher_dir_ / "locale", fs::copy_options::recursive);
	test::set_environment("LANG", "de_DE.UTF-8");
	start_launcher();
	std::optional<XDisplay::TopLevel> box;
	ASSERT_TRUE(wait_until([&] { return (box = x.find("Tarnwick-Fehler")).has_value(); }, 20s)) << launcher_errors();
	x.request_close(box->id);
	EXPECT_EQ(launcher_exit_code(), 1);
	EXPECT_NE(launcher_errors().find("Unable to spawn the Tarnwick daemon: program not found\n"), std::string::npos) << launcher_errors();
}

TEST_F(LauncherRun, ShowsTheWindowAtOnceAndTheDaemonsPageOnceItListens) {
	// Long enough for a window of the sanitizer build on a loaded machine to come first.
	start_daemon_elsewhere({"--delay-listen", "8"});
	ASSERT_TRUE(wait_until([] { return processes_named("tarnwickd").size() == 1; }, 5s));
	auto started = std::chrono::steady_clock::now();
	start_launcher();
	std::optional<XDisplay::TopLevel> window = wait_for_window("Tarnwick");
	ASSERT_TRUE(window) << launcher_errors();
	// Shown while the daemon does not listen yet, with a page of the launcher's own.
	EXPECT_EQ(requests(), "");
	EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
	EXPECT_TRUE(wait_until([&] { return x.distinct_colours(window->id) > 2; }, 10s));
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /\n") != std::string::npos; }, 20s)) << launcher_errors();
	x.request_close(window->id);
	EXPECT_EQ(launcher_exit_code(), 0);
}

// Half a minute of a page that keeps talking to the program, then asks it to quit, as the daemon's
// own pages may: the engine's garbage collector and timers run meanwhile, also in the sanitizer build.
TEST_F(LauncherRun, StaysOpenForHalfAMinuteWhileThePageSendsMessages) {
	// A daemon by name that serves a page of the test's: the launcher starts none and shows it.
	fs::copy_file(TALKING_PAGE_SERVER, elsewhere_dir_ / "tarnwickd");
	std::ofstream(root_ / "page.html") << R"(<!DOCTYPE html><title>Tarnwick</title><body style="background:#fff">
<h1>Talking to the program</h1><p id="sent"></p>
<script>
	let sent = 0;
	setInterval(() => { invoke_extern("ping", sent++, { sent: sent, text: "ping " + sent }); document.getElementById("sent").textContent = sent; }, 10);
	setInterval(() => fetch("/tick", { cache: "no-store" }), 1000);
	setTimeout(() => invoke_extern("quit"), 30000);
</script>)";
	started_.emplace_back(elsewhere_dir_ / "tarnwickd", test::ChildOptions{.arguments = {(root_ / "page.html").string(), (root_ / "served.log").string()},
	                                                                         .output_file = root_ / "daemon.err"});
	ASSERT_TRUE(wait_until([&] { return fs::exists(root_ / "served.log"); }, 5s)) << read_file(root_ / "daemon.err");
	start_launcher();
	ASSERT_TRUE(wait_for_window("Tarnwick")) << launcher_errors();

	EXPECT_EQ(launcher_exit_code(60s), 0) << launcher_errors();
	// The page ran all along.
	std::string served = read_file(root_ / "served.log");
	std::size_t ticks = 0;
	for (std::size_t at = served.find("/tick\n"); at != std::string::npos; at = served.find("/tick\n", at + 1)) ticks++;
	EXPECT_GE(ticks, 25u) << served;
}

} // namespace
} // namespace tarnwick
