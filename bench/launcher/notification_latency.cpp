// The time from a daemon page's new Notification(...) to the launcher's Notify call reaching the
// desktop's notification service, against a program's own Notify call to the same service in the
// same run. The page stamps each notification's body with its wall-clock time
// (performance.timeOrigin + performance.now()); the service stamps the call's arrival. 22
// notifications, the first two unmeasured; medians of 20.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" dbus-run-session -- build/linux/bench/notification_latency build/linux/desktop
//
// Port 37338 must be free; the launcher's folders are a temporary directory's.
#include "launcher/notification_server.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int measured = 20;
constexpr int warm_up = 2;

const char* page = R"html(<!DOCTYPE html><title>Tarnwick</title><h1>Notifications</h1><script>
addEventListener("load", async () => {
	await Notification.requestPermission();
	for (let i = 0; i < 22; i++) {
		const shown = new Notification("n" + i, { body: String(performance.timeOrigin + performance.now()) });
		await new Promise((done) => { shown.onshow = done; });
		shown.close();
		await new Promise((done) => setTimeout(done, 50));
	}
});
</script>)html";

pid_t start(const fs::path& program, std::vector<std::string> arguments) {
	std::vector<char*> argv{const_cast<char*>(program.c_str())};
	for (std::string& argument : arguments) argv.push_back(argument.data());
	argv.push_back(nullptr);
	pid_t pid = -1;
	if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
	return pid;
}

double median(std::vector<double> values) {
	std::sort(values.begin(), values.end());
	return values.size() % 2 ? values[values.size() / 2] : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
	if (argc != 2 || std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
		std::fprintf(stderr, "usage (under a display and a session bus): notification_latency <folder of tarnwick_desktop and tarnwickd>\n");
		return 2;
	}
	fs::path programs = argv[1];
	fs::path root = fs::temp_directory_path() / ("notification-latency-" + std::to_string(getpid()));
	for (const char* folder : {"home", "config", "state", "data", "cache"}) fs::create_directories(root / folder);
	setenv("HOME", (root / "home").c_str(), 1);
	setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
	setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
	setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
	setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
	setenv("NO_AT_BRIDGE", "1", 1);
	std::ofstream(root / "page.html") << page;
	setenv("TARNWICKD_PAGE", (root / "page.html").c_str(), 1);

	tarnwick::testing::NotificationServer server;
	// The baseline: this program's own Notify calls, each timed from just before the call.
	GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
	std::vector<double> direct;
	for (int i = 0; i < warm_up + measured; i++) {
		auto before = std::chrono::system_clock::now();
		GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
		                                              "Notify", g_variant_new("(susssasa{sv}i)", "bench", 0u, "", "direct", "", nullptr, nullptr, -1),
		                                              G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
		if (reply != nullptr) g_variant_unref(reply);
		if (i >= warm_up) direct.push_back(std::chrono::duration<double, std::micro>(server.notified().back().at - before).count());
	}
	std::size_t before_launch = server.notified().size();

	pid_t daemon = start(programs / "tarnwickd", {"--port", "37338"});
	std::this_thread::sleep_for(300ms);
	pid_t launcher = start(programs / "tarnwick_desktop", {});
	auto deadline = std::chrono::steady_clock::now() + 120s;
	while (server.notified().size() < before_launch + warm_up + measured && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
	std::vector<tarnwick::testing::NotificationServer::Notification> notified = server.notified();
	kill(launcher, SIGTERM);
	waitpid(launcher, nullptr, 0);
	kill(daemon, SIGTERM);
	waitpid(daemon, nullptr, 0);
	fs::remove_all(root);
	if (notified.size() < before_launch + warm_up + measured) {
		std::fprintf(stderr, "only %zu notifications arrived\n", notified.size() - before_launch);
		return 1;
	}
	std::vector<double> page_to_service;
	for (std::size_t i = before_launch + warm_up; i < notified.size(); i++) {
		double stamped_us = std::stod(notified[i].body) * 1000;
		double arrived_us = std::chrono::duration<double, std::micro>(notified[i].at.time_since_epoch()).count();
		page_to_service.push_back(arrived_us - stamped_us);
	}
	double page_median = median(page_to_service);
	double direct_median = median(direct);
	std::printf("new Notification() to Notify: median %.0f us of %zu\n", page_median, page_to_service.size());
	std::printf("a program's own Notify call:  median %.0f us of %zu\n", direct_median, direct.size());
	std::printf("ratio: %.1f\n", page_median / direct_median);
	return 0;
}
