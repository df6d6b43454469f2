// Cross-thread dispatch onto the GUI thread: throughput and round-trip latency of the application's
// dispatch, against the same work done with bare g_main_context_invoke on a plain GLib loop, in
// the same run. Before the benchmarks, prints the GUI thread's CPU time over two idle seconds.
#include "application/application.hpp"

#include <benchmark/benchmark.h>
#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <future>
#include <thread>

namespace {

constexpr int calls_per_batch = 10'000;

double thread_cpu_seconds() {
	timespec now{};
	clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
	return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The application's loop on a GUI thread of its own, for the whole process.
class FrameworkLoop {
public:
	FrameworkLoop() {
		std::promise<bw::ApplicationHandle> ready;
		auto handle = ready.get_future();
		thread_ = std::thread([&ready] {
			auto app = bw::Application::initialize();
			if (!app.ok()) {
				std::fprintf(stderr, "%s\n", app.error().to_string().c_str());
				std::exit(1);
			}
			app.value().start()._run([&ready](bw::ApplicationHandle handle) { ready.set_value(handle); });
		});
		handle_ = handle.get();
	}
	~FrameworkLoop() {
		handle_.exit_threadsafe(0);
		thread_.join();
	}
	template <class F>
	void post(F&& call) {
		handle_.dispatch(std::forward<F>(call));
	}

private:
	std::thread thread_;
	bw::ApplicationHandle handle_{bw::ApplicationImpl(nullptr)};
};

// A plain GLib loop on a context of its own, driven by g_main_context_invoke.
class GlibLoop {
public:
	GlibLoop() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
		thread_ = std::thread([this] {
			g_main_context_push_thread_default(context_);
			g_main_loop_run(loop_);
			g_main_context_pop_thread_default(context_);
		});
		// Invoked calls only run on the loop's own thread once it owns the context.
		std::atomic<bool> running{false};
		while (!running) post([&] { running = true; });
	}
	~GlibLoop() {
		post([this] { g_main_loop_quit(loop_); });
		thread_.join();
		g_main_loop_unref(loop_);
		g_main_context_unref(context_);
	}
	template <class F>
	void post(F&& call) {
		using Closure = std::decay_t<F>;
		g_main_context_invoke_full(
		    context_, G_PRIORITY_DEFAULT,
		    [](gpointer data) {
			    (*static_cast<Closure*>(data))();
			    return G_SOURCE_REMOVE;
		    },
		    new Closure(std::forward<F>(call)), [](gpointer data) { delete static_cast<Closure*>(data); });
	}

private:
	GMainContext* context_;
	GMainLoop* loop_;
	std::thread thread_;
};

FrameworkLoop* framework_loop;
GlibLoop* glib_loop;

template <class Loop>
void throughput(benchmark::State& state, Loop* loop) {
	for (auto _ : state) {
		std::atomic<int> done{0};
		for (int i = 0; i < calls_per_batch; i++)
			loop->post([&done] {
				if (done.fetch_add(1, std::memory_order_release) + 1 == calls_per_batch) done.notify_one();
			});
		for (int seen = done.load(); seen != calls_per_batch; seen = done.load()) done.wait(seen);
	}
	state.SetItemsProcessed(state.iterations() * calls_per_batch);
}

template <class Loop>
void round_trip(benchmark::State& state, Loop* loop) {
	for (auto _ : state) {
		std::atomic<bool> ran{false};
		loop->post([&ran] {
			ran.store(true, std::memory_order_release);
			ran.notify_one();
		});
		ran.wait(false);
	}
	state.SetItemsProcessed(state.iterations());
}

void BM_DispatchThroughput_Framework(benchmark::State& state) { throughput(state, framework_loop); }
void BM_DispatchThroughput_GlibInvoke(benchmark::State& state) { throughput(state, glib_loop); }
void BM_DispatchRoundTrip_Framework(benchmark::State& state) { round_trip(state, framework_loop); }
void BM_DispatchRoundTrip_GlibInvoke(benchmark::State& state) { round_trip(state, glib_loop); }

BENCHMARK(BM_DispatchThroughput_GlibInvoke)->UseRealTime();
BENCHMARK(BM_DispatchThroughput_Framework)->UseRealTime();
BENCHMARK(BM_DispatchRoundTrip_GlibInvoke)->UseRealTime();
BENCHMARK(BM_DispatchRoundTrip_Framework)->UseRealTime();

// CPU time the loop's thread spends while nothing is posted for the given time.
template <class Loop>
double idle_cpu_seconds(Loop* loop, std::chrono::seconds idle) {
	auto measure = [loop] {
		std::promise<double> cpu;
		loop->post([&cpu] { cpu.set_value(thread_cpu_seconds()); });
		return cpu.get_future().get();
	};
	double before = measure();
	std::this_thread::sleep_for(idle);
	return measure() - before;
}

} // namespace

int main(int argc, char** argv) {
	FrameworkLoop framework;
	GlibLoop glib;
	framework_loop = &framework;
	glib_loop = &glib;

	std::printf("GUI thread CPU time over 2 idle seconds: framework loop %.6f s, plain GLib loop %.6f s\n",
	            idle_cpu_seconds(&framework, std::chrono::seconds(2)), idle_cpu_seconds(&glib, std::chrono::seconds(2)));

	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
