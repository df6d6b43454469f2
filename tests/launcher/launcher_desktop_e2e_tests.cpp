// The daemon's pages as desktop citizens, end to end with the real engine under the test display and
// a session bus of the test's own: which permissions a page of the daemon and a frame of another
// origin get, and the daemon page's notifications on the desktop's notification service, whose click
// brings the hidden window back.
#include "launcher_pages_fixture.hpp"
#include "notification_server.hpp"
#include "support/session_bus.hpp"

#include <atspi/atspi.h>

namespace tarnwick {
namespace {

using testing::NotificationServer;
using testing::SessionBus;

class LauncherDesktop : public PageReportingSession {
protected:
	void SetUp() override {
		PageReportingSession::SetUp();
		ASSERT_FALSE(bus_.address().empty()) << bus_.error();
	}
	// What a case set for the launchers it starts.
	void TearDown() override {
		PageReportingSession::TearDown();
		unsetenv("TARNWICKD_DELAY_LISTEN");
		setenv("LANG", language_.c_str(), 1);
	}

	std::string language_ = std::getenv("LANG") != nullptr ? std::getenv("LANG") : "C";

	SessionBus bus_;
};

// Each page reads its notification permission, asks for it, for the position and for the camera
// with the microphone, twice; the daemon's page also holds a frame of another port, which does the
// same and tries to notify anyway. (WebKitGTK asks the program only when a page asks on a user's
// action: without one it refuses by itself.)
constexpr const char* permissions_page = R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Permissions</h1><script>
const who = location.port === "37339" ? "frame" : "daemon";
const report = (what) => fetch("/report?" + who + "-" + what);
// Each report has reached the server before the next is sent: the last one says all are there.
async function ask(round) {
	await report(round + "notifications=" + Notification.permission);
	await report(round + "requested=" + await Notification.requestPermission());
	try { new Notification(who + " notification"); } catch (e) {}
	await report(round + "geolocation=" + await new Promise((done) => navigator.geolocation.getCurrentPosition(() => done("granted"),
		(e) => done(e.code), { timeout: 5000 })));
	let camera;
	try { await navigator.mediaDevices.getUserMedia({ video: true, audio: true }); camera = "granted"; }
	catch (e) { camera = e.name; }
	await report(round + "camera=" + camera);
}
addEventListener("load", async () => {
	if (who === "daemon") document.body.appendChild(document.createElement("iframe")).src = "http://127.0.0.1:37339/";
	await ask("");
	await ask("again-");
});
</script>)html";

TEST_F(LauncherDesktop, OnlyTheDaemonsPagesMayNotifyEverythingElseIsDeniedAndLoggedOnce) {
	NotificationServer server;
	serve_page(permissions_page);
	serve_another_origin();
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	auto asked_twice = [&](const fs::path& log, const std::string& who) {
		return wait_until([&] { return std::ranges::count_if(reports(log), [&](const std::string& r) { return r.starts_with(who + "-again-camera="); }) == 1; }, 30s);
	};
	ASSERT_TRUE(asked_twice(root_ / "requests.log", "daemon")) << requests() << log();
	ASSERT_TRUE(asked_twice(root_ / "frame.log", "frame")) << read_file(root_ / "frame.log");

	std::vector<std::string> daemon = reports(root_ / "requests.log");
	std::vector<std::string> frame = reports(root_ / "frame.log");
	for (const std::string round : {"", "again-"}) {
		EXPECT_EQ(std::ranges::count(daemon, "daemon-" + round + "notifications=granted"), 1) << requests();
		EXPECT_EQ(std::ranges::count(daemon, "daemon-" + round + "geolocation=1"), 1) << requests();
		EXPECT_EQ(std::ranges::count(daemon, "daemon-" + round + "camera=granted"), 0) << requests();
		EXPECT_EQ(std::ranges::count(frame, "frame-" + round + "notifications=granted"), 0) << read_file(root_ / "frame.log");
		EXPECT_EQ(std::ranges::count(frame, "frame-" + round + "requested=denied"), 1) << read_file(root_ / "frame.log");
		EXPECT_EQ(std::ranges::count(frame, "frame-" + round + "geolocation=1"), 1) << read_file(root_ / "frame.log");
		EXPECT_EQ(std::ranges::count(frame, "frame-" + round + "camera=granted"), 0) << read_file(root_ / "frame.log");
	}
	ASSERT_TRUE(wait_until([&] { return server.notified().size() == 2; }, 10s));
	for (const auto& notification : server.notified()) EXPECT_EQ(notification.summary, "daemon notification");
	EXPECT_EQ(count_of(log(), "denied geolocation to http://127.0.0.1:37338\n"), 1u) << log();
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherDesktop, WithoutANotificationServiceTheDaemonsPageIsDeniedAndTheLogSaysWhy) {
	serve_page(R"html(<!DOCTYPE html><title>Tarnwick</title><h1>No service</h1><script>
addEventListener("load", async () => fetch("/report?notifications=" + Notification.permission + "," + await Notification.requestPermission()));
</script>)html");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	// Not granted: WebKitGTK reads the refusal as "default" until the page asks.
	EXPECT_TRUE(reported("notifications=default,denied", 20s)) << requests();
	EXPECT_TRUE(logged("denied notifications to http://127.0.0.1:37338: no notification service on the session bus", 5s)) << log();
	close_and_expect_zero(*top, launcher);
}

// The first notification is clicked and then dismissed; once it is closed the page shows a second
// and, of the same tag, a third that replaces it and that the page closes itself.
constexpr const char* notifying_page = R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Notifications</h1><script>
const report = (what) => fetch("/report?" + what);
addEventListener("load", async () => {
	report("permission=" + Notification.permission);
	const first = new Notification("Build <done>", { body: "3 of 4 & more", tag: "build" });
	first.onshow = () => report("shown");
	first.onclick = () => report("clicked");
	first.onclose = () => {
		report("closed");
		const second = new Notification("Second", { tag: "next" });
		second.onshow = () => {
			const third = new Notification("Third", { tag: "next" });
			third.onshow = () => third.close();
		};
	};
});
</script>)html";

TEST_F(LauncherDesktop, ANotificationReachesTheServiceItsClickBringsTheHiddenWindowBackAndThePageHearsOfIt) {
	NotificationServer server;
	// Answered slowly, as a busy desktop does: a notification of the same tag that comes meanwhile
	// must still replace the one before.
	server.delay_replies(300ms);
	// A service that has not answered yet holds back neither the page nor its permission.
	server.hold_capabilities();
	serve_page(notifying_page);
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(reported("permission=granted", 20s)) << requests() << log();
	EXPECT_TRUE(server.notified().empty());
	server.release_capabilities();
	ASSERT_TRUE(wait_until([&] { return server.notified().size() == 1; }, 20s)) << requests() << log();
	NotificationServer::Notification first = server.notified()[0];
	EXPECT_EQ(first.app_name, "Tarnwick");
	EXPECT_EQ(first.icon, "tarnwick");
	EXPECT_EQ(first.summary, "Build <done>");
	// The service understands markup: the body's own characters are escaped.
	EXPECT_EQ(first.body, "3 of 4 &amp; more");
	EXPECT_EQ(first.replaces_id, 0u);
	EXPECT_NE(std::ranges::find(first.actions, "default"), first.actions.end());
	EXPECT_EQ(first.desktop_entry, "tarnwick");
	ASSERT_TRUE(reported("shown", 10s)) << requests();

	user.withdraw(top->id);
	ASSERT_TRUE(wait_until([&] { return windows() == 0; }, 10s));
	server.click(first.id, "token-of-the-click");
	EXPECT_TRUE(wait_until([&] { return windows() == 1; }, 10s));
	EXPECT_TRUE(reported("clicked", 10s)) << requests();

	server.close(first.id);
	EXPECT_TRUE(reported("closed", 10s)) << requests();
	ASSERT_TRUE(wait_until([&] { return server.notified().size() == 3; }, 10s)) << server.notified().size();
	auto notified = server.notified();
	EXPECT_EQ(notified[1].summary, "Second");
	EXPECT_EQ(notified[2].summary, "Third");
	EXPECT_EQ(notified[2].replaces_id, notified[1].id) << [&] {
		std::string seen;
		for (const auto& each : notified) seen += each.summary + " id " + std::to_string(each.id) + " replaces " + std::to_string(each.replaces_id) + "; ";
		for (uint32_t id : server.closed()) seen += "closed " + std::to_string(id) + "; ";
		return seen;
	}();
	EXPECT_TRUE(wait_until([&] { return std::ranges::count(server.closed(), notified[2].id) == 1; }, 10s));
	close_and_expect_zero(*window(), launcher);
}

TEST_F(LauncherDesktop, ANotificationServiceThatNeverAnswersCostsThePageItsNotificationsAndTheLogSaysSo) {
	NotificationServer server;
	server.hold_capabilities();
	serve_page(notifying_page);
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	EXPECT_TRUE(logged("the notification service did not answer", 15s)) << log();
	EXPECT_TRUE(logged("not shown: a notification of http://127.0.0.1:37338", 5s)) << log();
	EXPECT_TRUE(server.notified().empty());
	close_and_expect_zero(*top, launcher);
}

TEST_F(LauncherDesktop, PagesAreAskedForInTheUsersLanguagesAndInEnglishInTheCLocale) {
	serve_page(R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Languages</h1><script>
addEventListener("load", async () => {
	const asked = await (await fetch("/accept-language")).text();
	fetch("/report?" + new URLSearchParams({ header: asked, languages: navigator.languages.join(",") }));
});
</script>)html");
	auto languages_of_a_launch = [&](const char* lang) -> std::string {
		test::set_environment("LANG", lang);
		// The daemon outlives each launcher: its log goes on.
		std::size_t before = reports(root_ / "requests.log").size();
		Child& launcher = launch();
		auto top = window();
		if (!top) return "no window: " + errors(launchers_.size() - 1);
		wait_until([&] { return reports(root_ / "requests.log").size() > before; }, 20s);
		close_and_expect_zero(*top, launcher);
		std::vector<std::string> seen = reports(root_ / "requests.log");
		return seen.size() > before ? seen.back() : std::string();
	};
	EXPECT_EQ(languages_of_a_launch("de_DE.UTF-8"), "header=de-DE,de;q=0.90&languages=de-DE");
	EXPECT_EQ(languages_of_a_launch("C"), "header=en-US&languages=en-US");
}

// The daemon dies while the window is hidden and another program takes its port: the user hears it
// from the desktop, and the notification's click brings the window back.
TEST_F(LauncherDesktop, WhileTheWindowIsHiddenTheLaunchersOwnNewsIsANotificationThatBringsItBack) {
	NotificationServer server;
	// So that the restarted daemon leaves the port to the test for a while.
	test::set_environment("TARNWICKD_DELAY_LISTEN", "2");
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	// The daemon listens 2 s after its start: the window may come first, with the starting page.
	ASSERT_TRUE(wait_until([&] { return log().find("the daemon's page loaded") != std::string::npos || log().find("showing the daemon's page") != std::string::npos; },
	                       20s))
	    << log();
	user.withdraw(top->id);
	ASSERT_TRUE(wait_until([&] { return windows() == 0; }, 10s));
	for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
	int holder = take_daemon_port();
	ASSERT_GE(holder, 0);
	std::optional<NotificationServer::Notification> news;
	ASSERT_TRUE(wait_until([&] {
		for (const auto& notification : server.notified())
			if (notification.summary == "Another program is using port 37338") news = notification;
		return news.has_value();
	}, 30s)) << log();
	server.click(news->id, "token-of-the-click");
	EXPECT_TRUE(wait_until([&] { return windows() == 1; }, 10s));
	close(holder);
	close_and_expect_zero(*window(), launcher);
}

// Through the accessibility bus, as a screen reader sees the window: the desktop's own bus activates
// it (at-spi-bus-launcher and the registry), and the launcher's bridge is left on.
class LauncherAccessibility : public PageReportingSession {
protected:
	void SetUp() override {
		PageReportingSession::SetUp();
		ASSERT_FALSE(bus_.address().empty()) << bus_.error();
		if (const char* off = std::getenv("NO_AT_BRIDGE")) bridge_off_ = off;
		unsetenv("NO_AT_BRIDGE");
		ASSERT_EQ(atspi_init(), 0);
	}
	void TearDown() override {
		PageReportingSession::TearDown();
		if (!bridge_off_.empty()) setenv("NO_AT_BRIDGE", bridge_off_.c_str(), 1);
		setenv("LANG", language_.c_str(), 1);
	}

	// The first accessible of the role and name in the launcher's tree, looked for until it appears.
	AtspiAccessible* find(AtspiRole role, const std::string& name, std::chrono::milliseconds timeout) {
		AtspiAccessible* found = nullptr;
		wait_until([&] {
			AtspiAccessible* desktop = atspi_get_desktop(0);
			for (gint i = 0, count = atspi_accessible_get_child_count(desktop, nullptr); i < count && !found; i++) {
				AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, i, nullptr);
				if (application == nullptr) continue;
				if (text_of(atspi_accessible_get_name(application, nullptr)) == "tarnwick_desktop") found = search(application, role, name, 0);
				g_object_unref(application);
			}
			g_object_unref(desktop);
			return found != nullptr;
		}, timeout);
		return found;
	}

	// Whether it appears.
	bool has(AtspiRole role, const std::string& name, std::chrono::milliseconds timeout) {
		AtspiAccessible* found = find(role, name, timeout);
		if (found) g_object_unref(found);
		return found != nullptr;
	}

	static std::string text_of(gchar* text) {
		std::string out = text != nullptr ? text : "";
		g_free(text);
		return out;
	}

	static AtspiAccessible* search(AtspiAccessible* node, AtspiRole role, const std::string& name, int depth) {
		if (atspi_accessible_get_role(node, nullptr) == role && text_of(atspi_accessible_get_name(node, nullptr)) == name) return ATSPI_ACCESSIBLE(g_object_ref(node));
		if (depth > 30) return nullptr;
		AtspiAccessible* found = nullptr;
		for (gint i = 0, count = atspi_accessible_get_child_count(node, nullptr); i < count && !found; i++) {
			AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
			if (child == nullptr) continue;
			found = search(child, role, name, depth + 1);
			g_object_unref(child);
		}
		return found;
	}

	SessionBus bus_{{"/usr/share/dbus-1/services"}};
	std::string bridge_off_;
	std::string language_ = std::getenv("LANG") != nullptr ? std::getenv("LANG") : "C";
};

// In a German session, with the translations beside the program: the port-taken page's heading and
// its "Try again" are found by role and name in German, and the button is pressed through its
// action; the launcher tries again and the daemon's page, whose heading is found too, comes back.
// The find bar's controls, once Ctrl+F opened it, have names, in German too.
TEST_F(LauncherAccessibility, TheLaunchersPageAndTheDaemonsAreReachableByRoleAndName) {
	serve_page("<!DOCTYPE html><title>Tarnwick</title><h1>Rooms</h1><p>Three rooms.</p>");
	fs::copy(fs::path(TARNWICK_LAUNCHER).parent_path() / "locale", root_ / "launcher" / "locale", fs::copy_options::recursive);
	setenv("LANG", "de_DE.UTF-8", 1);
	Child& launcher = launch();
	auto top = window();
	ASSERT_TRUE(top) << errors();
	ASSERT_TRUE(logged("the daemon's page loaded", 20s)) << log();
	ASSERT_TRUE(has(ATSPI_ROLE_HEADING, "Rooms", 20s)) << "the daemon page's heading";
	user.press(top->id, {XK_Control_L, XK_f});
	EXPECT_TRUE(has(ATSPI_ROLE_TEXT, "Auf der Seite suchen", 5s));
	for (const char* button : {"Nächster Treffer", "Vorheriger Treffer", "Suchleiste schließen"}) EXPECT_TRUE(has(ATSPI_ROLE_PUSH_BUTTON, button, 5s)) << button;

	for (std::uint64_t id : processes_named("tarnwickd")) test::kill_process(id);
	int holder = take_daemon_port();
	ASSERT_GE(holder, 0);
	ASSERT_TRUE(logged("showing the port-taken page", 30s)) << log();
	EXPECT_TRUE(has(ATSPI_ROLE_HEADING, "Port 37338 wird von einem anderen Programm verwendet", 20s)) << "the port-taken page's heading, in German";
	AtspiAccessible* again = find(ATSPI_ROLE_PUSH_BUTTON, "Erneut versuchen", 20s);
	ASSERT_NE(again, nullptr) << log();
	close(holder);
	AtspiAction* action = atspi_accessible_get_action_iface(again);
	ASSERT_NE(action, nullptr);
	EXPECT_TRUE(atspi_action_do_action(action, 0, nullptr));
	g_object_unref(action);
	g_object_unref(again);
	EXPECT_TRUE(logged("the user asked to try again", 10s)) << log();
	EXPECT_TRUE(logged("showing the daemon's page", 30s)) << log();
	EXPECT_TRUE(has(ATSPI_ROLE_HEADING, "Rooms", 20s)) << "the daemon page's heading, back";
	close_and_expect_zero(*top, launcher);
}

} // namespace
} // namespace tarnwick
