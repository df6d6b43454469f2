// What the launcher's window does with what its pages do, end to end under the test display with
// the real engine: links to other origins go to the default browser (a recording handler the test
// registers through its XDG folders), a frame of another origin cannot command the launcher,
// downloads land in the Downloads folder with a notice in the page, a killed web process brings the
// page back, and F5 and Ctrl+Plus work, the zoom kept for the next launch. The stand-in daemon
// serves the case's page (TARNWICKD_PAGE); the page reports what it sees by fetching /report?....
#include "launcher_pages_fixture.hpp"

#include <signal.h>

namespace tarnwick {
namespace {

class LauncherPages : public PageReportingSession {
protected:
	// Kills the window's web processes (this sandbox's only ones).
	void kill_web_processes() {
		for (std::uint64_t id : processes_named("WebKitWebProcess")) kill(static_cast<pid_t>(id), SIGKILL);
	}
};

// Left half a link to another origin, right half a button that opens a window; a frame of another
// port that, served there, posts "quit" as the launcher's own pages do. The link's origin answers:
// WebKitGTK asks about a top-level navigation only once its response arrives.
constexpr const char* links_page = R"html(<!DOCTYPE html><title>Tarnwick</title>
<style>body { margin: 0 } a, button { position: fixed; top: 0; bottom: 0; width: 50%; border: 0; margin: 0 }
a { left: 0; background: #48c } button { right: 0; background: #c84 } iframe { position: fixed; width: 10px; height: 10px; bottom: 0 }</style>
<a href="http://127.0.0.1:37339/linked">elsewhere</a><button onclick="window.open('https://example.org/opened')">open</button>
<script>
if (location.port === "37339") {
	if (typeof invoke_extern === "function") invoke_extern("quit"); else window.webkit.messageHandlers.bw.postMessage(["quit"]);
	fetch("/report?frame-posted").then(() => parent.postMessage("posted", "*"));
} else {
	addEventListener("load", () => fetch("/report?loaded"));
	// Then the page tries to open the user's browser by itself, again and again.
	addEventListener("message", (event) => {
		if (event.data === "posted") for (let i = 0; i < 4; i++) setTimeout(() => { location.href = "http://127.0.0.1:37339/scripted"; }, 100 * i);
	});
	document.body.appendChild(document.createElement("iframe")).src = "http://127.0.0.1:37339/";
}
</script>)html";

TEST_F(LauncherPages, OutsideLinksOpenInTheDefaultBrowserAndAnotherOriginCannotCommand) {
	register_default_browser();
	serve_page(links_page);
	serve_another_origin();
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(reported("loaded", 15s)) << requests();

	// The frame's "quit" is heard and ignored.
	ASSERT_TRUE(reported("frame-posted", 15s, root_ / "frame.log")) << read_file(root_ / "frame.log");
	EXPECT_TRUE(logged("ignored the message \"quit\" from http://127.0.0.1:37339", 5s)) << log();
	EXPECT_FALSE(launcher.wait(500ms).has_value());
	EXPECT_TRUE(logged("refused to open http://127.0.0.1:37339 in the default browser without a user's action", 10s)) << log();

	// Other windows on the shared display may cover ours for a moment: a user clicks again.
	EXPECT_TRUE(wait_until([&] {
		user.click(top->id, top->width / 4, top->height / 2);
		return wait_until([&] { return opened().find("http://127.0.0.1:37339/linked\n") != std::string::npos; }, 1s);
	}, 15s)) << log() << requests();
	EXPECT_TRUE(wait_until([&] {
		user.click(top->id, top->width * 3 / 4, top->height / 2);
		return wait_until([&] { return opened().find("https://example.org/opened\n") != std::string::npos; }, 1s);
	}, 15s)) << log();
	// The window stayed on the daemon's page, which was never loaded again.
	std::this_thread::sleep_for(500ms);
	EXPECT_EQ(count_of(requests(), "GET /\n"), 1u) << requests() << log();
	EXPECT_EQ(count_of(log(), "opening "), count_of(opened(), "\n")) << log();
	EXPECT_EQ(opened().find("/scripted"), std::string::npos) << opened();
	EXPECT_EQ(count_of(log(), "refused to open http://127.0.0.1:37339 in the default browser without a user's action"), 1u) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherPages, DownloadsLandInTheDownloadsFolderNeverOverwrittenAndThePageShowsANotice) {
	std::ofstream(fs::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n";
	const fs::path folder = fs::path(std::getenv("HOME")) / "Fetched";
	// Downloads twice, the second once the first notice is there and reported (a navigation that
	// starts while a fetch is on its way cancels it); reports every notice.
	serve_page(R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Downloads</h1><script>
let notices = 0;
new MutationObserver(() => {
	const box = document.getElementById("tarnwick-notices");
	for (const notice of box ? box.children : []) {
		if (notice.dataset.seen) continue;
		notice.dataset.seen = "1";
		const reported = fetch("/report?" + encodeURIComponent(notice.textContent));
		if (++notices === 1) reported.then(() => { location.href = "/download"; });
	}
}).observe(document.documentElement, { childList: true, subtree: true });
addEventListener("load", () => fetch("/report?loaded").then(() => { location.href = "/download"; }));
</script>)html");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	EXPECT_TRUE(reported("Saved report.csv in " + folder.string(), 20s)) << log();
	EXPECT_TRUE(reported("Saved report (1).csv in " + folder.string(), 20s)) << log();
	EXPECT_EQ(read_file(folder / "report.csv"), "name,count\nrooms,3\n");
	EXPECT_EQ(read_file(folder / "report (1).csv"), "name,count\nrooms,3\n");
	EXPECT_NE(log().find("Saved report (1).csv in " + folder.string()), std::string::npos) << log();
	// The page stayed.
	EXPECT_EQ(count_of(requests(), "GET /\n"), 1u) << requests();
	close_and_expect_zero(*top, launcher);
}

// Unasked, the daemon's page saves a data: address, and a frame of another origin a blob and an
// attachment: all refused, with one notice. The user's click on the page's data: link saves it.
TEST_F(LauncherPages, DownloadsNobodyAskedForAreRefusedWithOneNoticeAndTheUsersClickSaves) {
	std::ofstream(fs::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs") << "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n";
	const fs::path folder = fs::path(std::getenv("HOME")) / "Fetched";
	serve_page(R"html(<!DOCTYPE html><title>Tarnwick</title>
<style>body { margin: 0 } .whole { position: fixed; inset: 0; background: #4a8 } iframe { position: fixed; width: 10px; height: 10px; bottom: 0 }</style>
<a class="whole" href="data:text/plain,clicked" download="clicked.txt">save</a><script>
function save(href, name) {
	const link = document.body.appendChild(document.createElement("a"));
	link.href = href;
	link.download = name;
	link.click();
}
if (location.port === "37339") {
	save(URL.createObjectURL(new Blob(["frame"])), "frame.txt");
	setTimeout(() => { location.href = "/download"; }, 300);
} else {
	new MutationObserver(() => {
		for (const notice of document.querySelectorAll("#tarnwick-notices > *")) {
			if (notice.dataset.seen) continue;
			notice.dataset.seen = "1";
			fetch("/report?" + encodeURIComponent(notice.textContent));
		}
	}).observe(document.documentElement, { childList: true, subtree: true });
	addEventListener("load", () => {
		save("data:text/plain,unasked", "unasked.txt");
		document.body.appendChild(document.createElement("iframe")).src = "http://127.0.0.1:37339/";
		fetch("/report?loaded");
	});
}
</script>)html");
	serve_another_origin();
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(reported("loaded", 15s)) << requests();
	EXPECT_TRUE(wait_until([&] { return count_of(log(), "refused the download of ") == 3; }, 15s)) << log();
	EXPECT_TRUE(logged("refused the download of data:text/plain,unasked: the page started it without a user's action", 1s)) << log();
	EXPECT_TRUE(logged("refused the download of http://127.0.0.1:37339/download: a frame inside the page started it", 1s)) << log();
	EXPECT_TRUE(reported("Tarnwick refused a download that the page started by itself", 5s)) << requests();

	EXPECT_TRUE(wait_until([&] {
		user.click(top->id, top->width / 2, top->height / 2);
		return logged("downloading data:text/plain,clicked", 2s);
	}, 20s)) << log();
	EXPECT_TRUE(reported("Saved clicked.txt in " + folder.string(), 10s)) << log();
	EXPECT_EQ(read_file(folder / "clicked.txt"), "clicked");
	EXPECT_EQ(std::ranges::count(reports(root_ / "requests.log"), "Tarnwick refused a download that the page started by itself"), 1) << requests();
	std::size_t files = 0;
	for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) files++;
	EXPECT_EQ(files, 1u);
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherPages, AKilledWebProcessBringsThePageBackThreeTimesAMinuteThenAPageWithReload) {
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /loaded") == 1; }, 15s)) << requests();
	for (std::size_t kill = 1; kill <= 3; kill++) {
		kill_web_processes();
		// The launcher asks at once; the engine's new web process then takes its time on a busy machine.
		EXPECT_TRUE(wait_until([&] { return count_of(log(), "reloading the page") == kill; }, 2s)) << log();
		ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == kill + 1; }, 10s)) << log();
		ASSERT_TRUE(wait_until([&] { return count_of(requests(), "GET /loaded") == kill + 1; }, 10s)) << requests();
	}
	kill_web_processes();
	ASSERT_TRUE(logged("showing the page-ended page", 10s)) << log();
	EXPECT_EQ(count_of(requests(), "GET /\n"), 4u) << requests();
	// "Reload" has the focus; the page may still be loading when the first Enter comes.
	ASSERT_TRUE(wait_until([&] {
		user.press_enter(top->id);
		return logged("the user asked to reload", 1s);
	}, 15s)) << log();
	EXPECT_TRUE(wait_until([&] { return count_of(requests(), "GET /\n") == 5; }, 10s)) << requests();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherPages, F5ReloadsAndCtrlPlusZoomsTheZoomKeptForTheNextLaunch) {
	// The page's width in CSS pixels shrinks as the zoom grows.
	serve_page(R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Keys</h1><script>
let reported = 0;
setInterval(() => { if (innerWidth !== reported) fetch("/report?width=" + (reported = innerWidth)); }, 100);
</script>)html");
	auto widths = [&] {
		std::vector<int> found;
		for (const std::string& report : reports(root_ / "requests.log"))
			if (report.starts_with("width=")) found.push_back(std::stoi(report.substr(6)));
		return found;
	};
	Child& first = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(wait_until([&] { return !widths().empty(); }, 15s)) << requests();
	const int unzoomed = widths().back();

	ASSERT_TRUE(wait_until([&] {
		user.press(top->id, {XK_F5});
		return wait_until([&] { return count_of(requests(), "GET /\n") >= 2; }, 1s);
	}, 15s)) << log();
	ASSERT_TRUE(wait_until([&] {
		user.press(top->id, {XK_Control_L, XK_Shift_L, XK_equal});
		return wait_until([&] { return widths().back() < unzoomed; }, 1s);
	}, 15s)) << requests();
	const int zoomed = widths().back();
	close_and_expect_zero(*top, first);
	EXPECT_NE(read_file(window_file()).find("zoom=1."), std::string::npos) << read_file(window_file());

	std::ofstream(root_ / "requests.log", std::ios::trunc).close();
	Child& second = launch();
	top = window();
	ASSERT_TRUE(top) << errors(1);
	ASSERT_TRUE(wait_until([&] { return !widths().empty(); }, 15s)) << requests();
	EXPECT_EQ(widths().front(), zoomed) << requests();
	close_and_expect_zero(*top, second);
}

} // namespace
} // namespace tarnwick
