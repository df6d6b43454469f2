// The executor: first poll inside spawn, one poll per wake on the GUI thread, harmless late wakes.
#include "application/application.hpp"
#include "application/task.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::TestApplication;

// A future that counts its polls, is ready from the given poll on, and wakes its task twice at
// once on its first poll.
struct CountingFuture {
	using Output = void;
	int* polls;
	int ready_from_poll;
	bool poll(const Waker& waker) {
		++*polls;
		if (*polls == 1) {
			waker.wake();
			waker.wake();
		}
		return *polls >= ready_from_poll;
	}
};

// A future made ready by hand; it remembers the last waker it was polled with.
struct ManualFuture {
	using Output = int;
	bool* ready;
	std::optional<Waker>* waker;
	bool poll(const Waker& current) {
		*waker = current;
		return *ready;
	}
	int take_output() { return 7; }
};

void exit_later(ApplicationHandle handle) { handle.dispatch_delayed([handle] { handle.exit(0); }, 100ms); }

TEST(Executor, FutureReadyOnFirstPollCompletesInsideSpawn) {
	TestApplication app;
	app.run([](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		std::size_t live_before = executor::live_task_count();
		bool finished = false;
		handle.spawn([](bool* finished) -> Task<> {
			*finished = true;
			co_return;
		}(&finished));
		EXPECT_TRUE(finished);
		EXPECT_EQ(executor::live_task_count(), live_before);
		handle.exit(0);
	});
}

TEST(Executor, EveryWakeGivesOnePollAndLateWakesAreHarmless) {
	TestApplication app;
	int polls_of_pending = 0, polls_of_completing = 0;
	std::size_t live_before = executor::live_task_count();
	app.run([&](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		// Two wakes, two further polls: ready only on the third.
		handle.spawn(CountingFuture{&polls_of_pending, 3});
		// The first of the two wakes completes the task; the second finds nothing to poll.
		handle.spawn(CountingFuture{&polls_of_completing, 2});
		exit_later(handle);
	});
	EXPECT_EQ(polls_of_pending, 3);
	EXPECT_EQ(polls_of_completing, 2);
	EXPECT_EQ(executor::live_task_count(), live_before);
}

TEST(Executor, WakeFromAnotherThreadPollsOnTheGuiThread) {
	TestApplication app;
	auto gui_thread = std::this_thread::get_id();
	bool ready = false;
	std::optional<Waker> waker;
	std::optional<std::thread::id> resumed_on;
	std::thread waker_thread;
	app.run([&](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		handle.spawn([](ManualFuture future, std::optional<std::thread::id>* resumed_on, ApplicationHandle handle) -> Task<> {
			int value = co_await future;
			EXPECT_EQ(value, 7);
			*resumed_on = std::this_thread::get_id();
			handle.exit(0);
		}(ManualFuture{&ready, &waker}, &resumed_on, handle));
		ASSERT_TRUE(waker.has_value());
		ready = true; // set before the other thread starts, so it is seen by the poll it triggers
		waker_thread = std::thread([w = *waker] { w.wake(); });
	});
	waker_thread.join();
	EXPECT_EQ(resumed_on, gui_thread);
}

TEST(Executor, PollWhileTheAwaitedFutureIsPendingDoesNothing) {
	TestApplication app;
	bool ready = false;
	std::optional<Waker> waker;
	int resumed = 0;
	app.run([&](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		handle.spawn([](ManualFuture future, int* resumed) -> Task<> {
			co_await future;
			++*resumed;
		}(ManualFuture{&ready, &waker}, &resumed));
		// Spurious wakes: the task is polled, the future is still pending, the coroutine stays put.
		waker->wake();
		waker->wake();
		handle.dispatch_delayed(
		    [&, handle] {
			    EXPECT_EQ(resumed, 0);
			    ready = true;
			    waker->wake();
			    exit_later(handle);
		    },
		    50ms);
	});
	EXPECT_EQ(resumed, 1);
}

TEST(Executor, NestedTasksAndSleep) {
	TestApplication app;
	auto gui_thread = std::this_thread::get_id();
	auto started = std::chrono::steady_clock::now();
	std::optional<int> result;
	app.run([&](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		auto inner = [](ApplicationHandle handle, std::thread::id gui_thread) -> Task<int> {
			co_await handle.sleep(30ms);
			EXPECT_EQ(std::this_thread::get_id(), gui_thread);
			co_return 42;
		};
		handle.spawn([](Task<int> inner, std::optional<int>* result, ApplicationHandle handle) -> Task<> {
			*result = co_await std::move(inner);
			handle.exit(0);
		}(inner(handle, gui_thread), &result, handle));
	});
	EXPECT_EQ(result, 42);
	EXPECT_GE(std::chrono::steady_clock::now() - started, 30ms);
}

TEST(Executor, WakeAfterTheLoopEndedIsRefusedAndHarmless) {
	TestApplication app;
	bool ready = false;
	std::optional<Waker> waker;
	app.run([&](bw_Application* raw) {
		ApplicationHandle handle(ApplicationImpl{raw});
		handle.spawn([](ManualFuture future) -> Task<> { co_await future; }(ManualFuture{&ready, &waker}));
		handle.exit(0);
	});
	ready = true;
	std::size_t live_before = executor::live_task_count();
	waker->wake(); // refused: the task stays pending for good
	EXPECT_EQ(executor::live_task_count(), live_before);
}

} // namespace
} // namespace bw
