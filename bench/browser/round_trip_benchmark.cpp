// Round trips page -> program -> page through a real WebKitGTK view: the page posts ("ping", n), the
// program answers by running pong(n) in the page, which posts the next ping at once. Measured with
// the framework (invoke_extern, a message handler, exec_js) and, in the same run, written directly
// against WebKitGTK (a script message handler and webkit_web_view_evaluate_javascript).
//
// A round trip is the time between two successive pings reaching the program, taken on the
// program's side with the monotonic clock. Each benchmark run opens a window, warms up, measures
// measured_round_trips round trips and closes the window; its time is their median, the counters
// give the 99th percentile, the mean and the GUI thread's CPU time per round trip. At the end the
// medians over all runs and the ratios framework / WebKitGTK are printed. Needs a display (Xvfb).
#include "browser/builder/browser_window_builder.hpp"
#include "browser/oneshot.hpp"

#include <benchmark/benchmark.h>
#include <bw/application.h>
#include <bw/window_gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int warm_up_round_trips = 100;
constexpr int measured_round_trips = 1000;
constexpr int total_pings = warm_up_round_trips + measured_round_trips + 1;

// The page, with how it posts a message: the framework's bridge or WebKit's handler directly.
std::string page(const char* send) {
	return std::string("<!DOCTYPE html><html><body><p>round trips</p><script>\n"
	                   "function send(cmd, n) { ") +
	       send +
	       " }\n"
	       "var last = 0;\n"
	       "function start(n) { last = n; send('ping', 0); }\n"
	       "function pong(n) { if (n < last) send('ping', n + 1); else send('done', n); }\n"
	       "</script></body></html>";
}

double thread_cpu_us() {
	timespec now{};
	clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
	return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// When each ping reached the program, indexed by its number, and the GUI thread's CPU time over the
// measured round trips (the program's own work per round trip, less noisy than their duration).
struct Pings {
	std::vector<Clock::time_point> arrived = std::vector<Clock::time_point>(total_pings);
	double cpu_start_us = 0, cpu_end_us = 0;
	void record(long n) {
		if (n < 0 || n >= total_pings) return;
		arrived[static_cast<std::size_t>(n)] = Clock::now();
		if (n == warm_up_round_trips) cpu_start_us = thread_cpu_us();
		if (n == total_pings - 1) cpu_end_us = thread_cpu_us();
	}
	std::vector<double> round_trips_us() const {
		std::vector<double> times;
		for (int n = warm_up_round_trips; n + 1 < total_pings; n++)
			times.push_back(std::chrono::duration<double, std::micro>(arrived[n + 1] - arrived[n]).count());
		return times;
	}
};

struct Summary {
	double median_us, p99_us, mean_us, cpu_us;
};

Summary summarise(std::vector<double> times, double cpu_us) {
	std::sort(times.begin(), times.end());
	double sum = 0;
	for (double t : times) sum += t;
	auto at = [&](double q) { return times[static_cast<std::size_t>(q * static_cast<double>(times.size() - 1) + 0.5)]; };
	return {at(0.5), at(0.99), sum / static_cast<double>(times.size()), cpu_us};
}

// Medians and 99th percentiles of every run, per variant, for the closing comparison.
std::map<std::string, std::vector<Summary>> runs;

void report(benchmark::State& state, const std::string& variant, const Pings& pings) {
	Summary summary = summarise(pings.round_trips_us(), (pings.cpu_end_us - pings.cpu_start_us) / measured_round_trips);
	runs[variant].push_back(summary);
	state.SetIterationTime(summary.median_us / 1e6);
	state.counters["p99_us"] = summary.p99_us;
	state.counters["mean_us"] = summary.mean_us;
	state.counters["gui_cpu_us"] = summary.cpu_us;
}

[[noreturn]] void fail(const char* what) {
	std::fprintf(stderr, "round_trip_benchmark: %s\n", what);
	std::exit(1);
}

// One run with the framework: its own application, a browser window over the page, and a message
// handler that answers every ping with exec_js.
Pings framework_run() {
	bw_Application* app = nullptr;
	bw_ApplicationSettings settings{{0, nullptr}, 0, {0, nullptr}};
	bw_Err error = bw_Application_initialize(&app, 0, nullptr, &settings);
	if (error.code != 0) fail("cannot initialise the application (no display?)");
	bw_Err_free(&error);

	struct Run {
		Pings pings;
		bool done = false;
	} run;
	auto main_task = [](bw::ApplicationHandle app, Run& run) -> bw::Task<> {
		bw::BrowserWindowBuilder builder(bw::Source::Html{page("invoke_extern(cmd, n);")});
		builder->size(800, 600);
		bw::BrowserWindowFuture building = bw::BrowserWindowBuilder::build_async(std::move(builder), app);
		std::optional<bw::BrowserWindow> window = co_await std::move(building);
		(*window).window().show();

		auto [sender, receiver] = bw::oneshot::channel<bool>();
		auto finished = std::make_shared<bw::oneshot::Sender<bool>>(std::move(sender));
		window->on_message().register_handler([&run, finished](bw::BrowserWindowHandle handle, bw::MessageEventArgs args) {
			if (args.cmd == "ping") {
				run.pings.record(std::strtol(args.args.at(0).to_string().c_str(), nullptr, 10));
				handle.exec_js("pong(" + args.args.at(0).to_string() + ")");
			} else if (args.cmd == "done") {
				finished->send(true);
			}
		});
		(*window)->exec_js("start(" + std::to_string(total_pings - 1) + ")");
		run.done = (co_await std::move(receiver)).has_value();

		// Closed as a user closes it: the window's own reference goes, and with it the engine.
		GtkWidget* native = bw_WindowGtk_getHandle(window->window().impl().inner());
		window.reset();
		gtk_window_close(GTK_WINDOW(native));
	};
	struct Ready {
		decltype(main_task)& task;
		Run& run;
	} ready{main_task, run};
	int code = bw_Application_run(
	    app,
	    [](bw_Application* raw, void* data) {
		    auto* ready = static_cast<Ready*>(data);
		    bw::ApplicationHandle handle{bw::ApplicationImpl(raw)};
		    handle.spawn([](bw::ApplicationHandle handle, Ready ready) -> bw::Task<> {
			    co_await ready.task(handle, ready.run);
			    // The loop ends once the closed window is gone.
			    handle.impl().mark_as_done();
		    }(handle, *ready));
	    },
	    &ready);
	bw_Application_free(app);
	if (code != 0 || !run.done) fail("the framework's run did not complete");
	return run.pings;
}

// The same run written directly against WebKitGTK on a plain GLib loop.
struct BareRun {
	GMainLoop* loop;
	WebKitWebView* view;
	Pings pings;
	bool started = false;
	bool done = false;
};

void on_bare_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
	auto* run = static_cast<BareRun*>(data);
	if (event != WEBKIT_LOAD_FINISHED || run->started) return;
	run->started = true;
	std::string start = "start(" + std::to_string(total_pings - 1) + ")";
	webkit_web_view_evaluate_javascript(view, start.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void on_bare_message(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
	auto* run = static_cast<BareRun*>(data);
	JSCValue* message = webkit_javascript_result_get_js_value(result);
	JSCValue* cmd_value = jsc_value_object_get_property_at_index(message, 0);
	JSCValue* n_value = jsc_value_object_get_property_at_index(message, 1);
	char* cmd = jsc_value_to_string(cmd_value);
	auto n = static_cast<long>(jsc_value_to_double(n_value));
	if (std::string_view(cmd) == "ping") {
		run->pings.record(n);
		std::string pong = "pong(" + std::to_string(n) + ")";
		webkit_web_view_evaluate_javascript(run->view, pong.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
	} else {
		run->done = true;
		g_main_loop_quit(run->loop);
	}
	g_free(cmd);
	g_object_unref(n_value);
	g_object_unref(cmd_value);
}

Pings bare_run() {
	if (!gtk_init_check(nullptr, nullptr)) fail("cannot open the display");
	BareRun run{g_main_loop_new(nullptr, FALSE), nullptr, {}};
	WebKitUserContentManager* content = webkit_user_content_manager_new();
	g_signal_connect(content, "script-message-received::bw", G_CALLBACK(on_bare_message), &run);
	webkit_user_content_manager_register_script_message_handler(content, "bw");
	run.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content));
	g_signal_connect(run.view, "load-changed", G_CALLBACK(on_bare_load_changed), &run);

	GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
	gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(run.view));
	gtk_widget_show_all(window);
	webkit_web_view_load_html(run.view, page("window.webkit.messageHandlers.bw.postMessage([cmd, n]);").c_str(), nullptr);

	guint watchdog = g_timeout_add_seconds(
	    60,
	    [](gpointer loop) {
		    g_main_loop_quit(static_cast<GMainLoop*>(loop));
		    return G_SOURCE_REMOVE;
	    },
	    run.loop);
	g_main_loop_run(run.loop);
	if (run.done) g_source_remove(watchdog);
	g_signal_handlers_disconnect_by_data(content, &run);
	g_signal_handlers_disconnect_by_data(run.view, &run);
	gtk_widget_destroy(window);
	g_object_unref(content);
	g_main_loop_unref(run.loop);
	if (!run.done) fail("the WebKitGTK run did not complete");
	return run.pings;
}

void BM_RoundTrip_Framework(benchmark::State& state) {
	for (auto _ : state) report(state, "framework", framework_run());
}

void BM_RoundTrip_WebKitGtk(benchmark::State& state) {
	for (auto _ : state) report(state, "webkitgtk", bare_run());
}

BENCHMARK(BM_RoundTrip_WebKitGtk)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTrip_Framework)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

double median_of(std::vector<Summary> values, double Summary::*field) {
	std::vector<double> numbers;
	for (const Summary& s : values) numbers.push_back(s.*field);
	std::sort(numbers.begin(), numbers.end());
	std::size_t middle = numbers.size() / 2;
	return numbers.size() % 2 ? numbers[middle] : (numbers[middle - 1] + numbers[middle]) / 2;
}

} // namespace

int main(int argc, char** argv) {
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();

	const auto& framework = runs["framework"];
	const auto& bare = runs["webkitgtk"];
	if (framework.empty() || bare.empty()) return 0;
	double fm = median_of(framework, &Summary::median_us), bm = median_of(bare, &Summary::median_us);
	double fp = median_of(framework, &Summary::p99_us), bp = median_of(bare, &Summary::p99_us);
	std::printf("\nround trip, median over %zu framework and %zu WebKitGTK runs of %d round trips each:\n", framework.size(), bare.size(),
	            measured_round_trips);
	std::printf("  median: framework %.1f us, WebKitGTK %.1f us, ratio %.3f\n", fm, bm, fm / bm);
	std::printf("  p99:    framework %.1f us, WebKitGTK %.1f us, ratio %.3f\n", fp, bp, fp / bp);
	double fc = median_of(framework, &Summary::cpu_us), bc = median_of(bare, &Summary::cpu_us);
	std::printf("  GUI thread CPU per round trip: framework %.1f us, WebKitGTK %.1f us, ratio %.3f\n", fc, bc, fc / bc);
}
