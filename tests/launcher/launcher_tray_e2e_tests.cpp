// The launcher in the background, as a user and a desktop drive it: its status icon on a session
// bus of the test's own with a tray (watcher and host) written here, closing and keeping running,
// the command line through real second launches, and start at login.
#include "launcher_session_fixture.hpp"
#include "status_notifier_host.hpp"
#include "support/session_bus.hpp"

#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <memory>

namespace tarnwick {

namespace {

using Host = testing::StatusNotifierHost;

const std::vector<std::string> menu{"Open Tarnwick", "Open in Browser", "Restart Daemon", "Start at Login", "Keep Running When Closed", "-", "Quit Tarnwick"};

fs::path config_file(const char* name) { return fs::path(std::getenv("XDG_CONFIG_HOME")) / name; }

class LauncherTray : public LauncherSession {
protected:
	void SetUp() override {
		LauncherSession::SetUp();
		ASSERT_FALSE(bus_.address().empty()) << bus_.error();
	}

	// The launcher's own page requests, not the watch's HEAD requests.
	std::size_t gets() const { return count_of(requests(), "GET /"); }

	bool window_unmapped() {
		return wait_until([&] { return !x.find("Tarnwick").has_value(); }, 10s);
	}

	// A later launch with these options: its exit code and what it said.
	std::pair<int, std::string> second(std::vector<std::string> arguments) {
		Child& later = launch(std::move(arguments));
		int code = later.wait(30s).value_or(-1);
		return {code, errors(launchers_.size() - 1)};
	}

	testing::SessionBus bus_;
};

} // namespace

TEST_F(LauncherTray, TheIconShowsTheStateAndItsMenuKeepsTheLauncherRunningWhenClosed) {
	Host host;
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top);
	auto item = host.wait_for_item(30s);
	ASSERT_TRUE(item) << log();
	EXPECT_EQ(host.property(*item, "Id"), "'tarnwick'");
	EXPECT_EQ(host.property(*item, "Category"), "'ApplicationStatus'");
	EXPECT_EQ(host.property(*item, "Title"), "'Tarnwick'");
	EXPECT_EQ(host.property(*item, "IconName"), "'tarnwick'");
	EXPECT_EQ(host.property(*item, "Status"), "'Active'");
	EXPECT_NE(host.property(*item, "ToolTip").find("'Tarnwick: running'"), std::string::npos) << host.property(*item, "ToolTip");
	GVariant* pixmaps = host.property_value(*item, "IconPixmap");
	ASSERT_NE(pixmaps, nullptr);
	EXPECT_GE(g_variant_n_children(pixmaps), 1u);
	g_variant_unref(pixmaps);
	EXPECT_EQ(host.menu_labels(*item), menu);

	register_default_browser();
	host.click(*item, "Open in Browser");
	EXPECT_TRUE(wait_until([&] { return opened() == "http://127.0.0.1:37338/\n"; }, 10s)) << opened() << log();

	host.click(*item, "Keep Running When Closed");
	EXPECT_TRUE(wait_until([&] { return read_file(config_file("tarnwick/settings")).find("keep_running_when_closed=1\n") != std::string::npos; }, 5s));
	EXPECT_EQ(host.toggle_state(*item, "Keep Running When Closed"), 1);
	std::size_t before = gets();
	x.request_close(top->id);
	EXPECT_TRUE(window_unmapped());
	EXPECT_FALSE(launcher.wait(500ms).has_value()) << log();

	host.activate(*item);
	auto shown = window();
	ASSERT_TRUE(shown) << log();
	x.request_close(shown->id);
	EXPECT_TRUE(window_unmapped());
	host.click(*item, "Open Tarnwick");
	EXPECT_TRUE(window().has_value()) << log();
	// Brought back as it was: the page was never loaded again.
	EXPECT_EQ(gets(), before) << requests();

	host.click(*item, "Quit Tarnwick");
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << log();
	EXPECT_EQ(processes_named("tarnwickd").size(), 1u);
}

TEST_F(LauncherTray, WithoutATrayTheCloseButtonEndsTheLauncherEvenWhenItShouldKeepRunning) {
	fs::create_directories(config_file("tarnwick"));
	std::ofstream(config_file("tarnwick/settings")) << "future_key=kept\nnot a setting\nkeep_running_when_closed=1\n";
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top);
	close_and_expect_zero(*top, launcher);
	EXPECT_NE(log().find("closing ends the launcher although it should keep running: no status icon is shown"), std::string::npos) << log();
	EXPECT_NE(log().find("ignored line 2 of"), std::string::npos) << log();
}

TEST_F(LauncherTray, ATrayThatAppearsLaterGetsTheItemAndSeesTheDaemonGo) {
	Child& launcher = launch();
	ASSERT_TRUE(window());
	auto host = std::make_unique<Host>();
	auto item = host->wait_for_item(30s);
	ASSERT_TRUE(item) << log();
	EXPECT_TRUE(logged("the status icon is shown", 5s)) << log();

	// "Restart Daemon" ends the daemon shown, and the launcher starts another.
	std::vector<std::uint64_t> first = processes_named("tarnwickd");
	ASSERT_EQ(first.size(), 1u);
	host->click(*item, "Restart Daemon");
	EXPECT_TRUE(wait_until([&] { return host->property(*item, "ToolTip").find("restarting the daemon") != std::string::npos; }, 10s)) << log();
	EXPECT_TRUE(wait_until([&] {
		auto now = processes_named("tarnwickd");
		return now.size() == 1 && now != first && host->property(*item, "ToolTip").find("Tarnwick: running") != std::string::npos;
	}, 15s)) << log();

	// The daemon goes and another program takes its port: the launcher stops and says why.
	for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
	int listener = take_daemon_port();
	ASSERT_GE(listener, 0);
	EXPECT_TRUE(wait_until([&] { return host->property(*item, "Status") == "'NeedsAttention'"; }, 20s)) << log();
	EXPECT_NE(host->property(*item, "ToolTip").find("Tarnwick: stopped: port 37338 is used by"), std::string::npos) << host->property(*item, "ToolTip");
	close(listener);

	// Hidden into the icon, the window comes back when the tray goes.
	host->click(*item, "Keep Running When Closed");
	EXPECT_TRUE(wait_until([&] { return host->toggle_state(*item, "Keep Running When Closed") == 1; }, 5s));
	auto top = window();
	ASSERT_TRUE(top);
	x.request_close(top->id);
	EXPECT_TRUE(window_unmapped());
	host.reset();
	auto back = window();
	ASSERT_TRUE(back) << log();
	close_and_expect_zero(*back, launcher);
}

TEST_F(LauncherTray, MinimizedStaysHiddenOnlyWhereAnIconIsShownAndLaterLaunchesShowOrToggleIt) {
	{
		// No tray: the window is shown as usual.
		Child& launcher = launch({"--minimized"});
		auto top = window();
		ASSERT_TRUE(top) << log();
		close_and_expect_zero(*top, launcher);
	}
	Host host;
	Child& launcher = launch({"--minimized"});
	ASSERT_TRUE(host.wait_for_item(30s));
	EXPECT_TRUE(logged("the window starts hidden", 10s)) << log();
	EXPECT_TRUE(wait_until([&] { return gets() > 0; }, 10s));
	EXPECT_EQ(windows(), 0);
	EXPECT_EQ(second({"--minimized"}).first, 0);
	EXPECT_EQ(windows(), 0);
	EXPECT_EQ(second({"--show"}).first, 0);
	ASSERT_TRUE(window()) << log();
	EXPECT_EQ(second({"--toggle"}).first, 0);
	EXPECT_TRUE(window_unmapped());
	EXPECT_EQ(second({"--toggle"}).first, 0);
	EXPECT_TRUE(window().has_value());
	auto [code, said] = second({"--quit"});
	EXPECT_EQ(code, 0) << said;
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << log();
}

TEST_F(LauncherTray, TheCommandLineOpensPathsQuitsAndRefusesWhatItDoesNotKnow) {
	auto [none_code, none_said] = second({"--quit"});
	EXPECT_EQ(none_code, 0);
	EXPECT_NE(none_said.find("no launcher of this user runs"), std::string::npos) << none_said;
	for (const char* bad : {"http://example.com/", "//host/x", "javascript:alert(1)", "/a\\b", "/a\tb"}) {
		auto [code, said] = second({"--open", bad});
		EXPECT_EQ(code, 2) << bad;
		EXPECT_NE(said.find("--open takes a path"), std::string::npos) << said;
	}
	EXPECT_EQ(second({"--open"}).first, 2);
	auto [unknown_code, unknown_said] = second({"--frobnicate"});
	EXPECT_EQ(unknown_code, 2);
	EXPECT_EQ(unknown_said.rfind("tarnwick_desktop: unknown option: --frobnicate\nUsage: ", 0), 0u) << unknown_said;
	auto [help_code, help_said] = second({"--help"});
	EXPECT_EQ(help_code, 0);
	EXPECT_TRUE(processes_named("tarnwickd").empty());

	// A new launcher goes to the path first; a running one goes there when asked.
	Child& launcher = launch({"--open", "/first?x=1"});
	ASSERT_TRUE(window());
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /first?x=1\n") != std::string::npos; }, 10s)) << requests();
	EXPECT_EQ(requests().find("GET /\n"), std::string::npos) << requests();
	EXPECT_EQ(second({"--open", "/a/b?x=1"}).first, 0);
	EXPECT_TRUE(wait_until([&] { return requests().find("GET /a/b?x=1\n") != std::string::npos; }, 10s)) << requests();
	EXPECT_EQ(second({"--quit"}).first, 0);
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << log();
	EXPECT_EQ(processes_named("tarnwickd").size(), 1u);
}

TEST_F(LauncherTray, StartAtLoginWritesAValidEntryThatStartsTheLauncherHidden) {
	fs::path entry = config_file("autostart/tarnwick.desktop");
	// An entry left by a program that moved is rewritten at start.
	fs::create_directories(entry.parent_path());
	std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Tarnwick\nExec=\"/gone/tarnwick_desktop\" --minimized\n";
	Host host;
	Child& launcher = launch();
	ASSERT_TRUE(window());
	auto item = host.wait_for_item(30s);
	ASSERT_TRUE(item);
	EXPECT_NE(log().find("which no longer exists; rewritten to"), std::string::npos) << log();
	std::string program = (root_ / "launcher" / "tarnwick_desktop").string();
	EXPECT_NE(read_file(entry).find("Exec=\"" + program + "\" --minimized\n"), std::string::npos) << read_file(entry);
	EXPECT_EQ(host.toggle_state(*item, "Start at Login"), 1);

	// Removed, and written again from the menu; valid for the desktop's tools.
	host.click(*item, "Start at Login");
	EXPECT_TRUE(wait_until([&] { return !fs::exists(entry); }, 5s));
	EXPECT_EQ(host.toggle_state(*item, "Start at Login"), 0);
	host.click(*item, "Start at Login");
	EXPECT_TRUE(wait_until([&] { return fs::exists(entry); }, 5s));
	EXPECT_EQ(std::system(("desktop-file-validate '" + entry.string() + "'").c_str()), 0) << read_file(entry);
	// Deleted in the desktop's own settings: the item shows it.
	fs::remove(entry);
	EXPECT_EQ(host.toggle_state(*item, "Start at Login"), 0);
	host.click(*item, "Start at Login");
	EXPECT_TRUE(wait_until([&] { return fs::exists(entry); }, 5s));
	host.click(*item, "Quit Tarnwick");
	EXPECT_EQ(launcher.wait(15s).value_or(-1), 0) << log();

	// Started as a session starts it: by the entry's Exec line, with its window hidden.
	std::string text = read_file(entry);
	std::size_t exec = text.find("Exec=\"") + 6;
	std::string started = text.substr(exec, text.find('"', exec) - exec);
	Child& at_login = launchers_.emplace_back(started, test::ChildOptions{.arguments = {"--minimized"}, .working_directory = root_});
	EXPECT_TRUE(logged("the window starts hidden", 20s)) << log();
	EXPECT_EQ(windows(), 0);
	(void)at_login;
}

} // namespace tarnwick
