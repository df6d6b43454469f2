// Immediate and delayed dispatch: threads, order, timing, refusal and the delay limit.
#include "application/application.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace bw {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::TestApplication;

ApplicationHandle handle_of(bw_Application* app) { return ApplicationHandle(ApplicationImpl{app}); }

TEST(DelayedDispatch, FiresOnceEachInOrderOfDueTime) {
	TestApplication app;
	std::vector<std::string> fired;
	int code = app.run([&](bw_Application* app) {
		auto handle = handle_of(app);
		EXPECT_TRUE(handle.dispatch_delayed([&] { fired.push_back("long"); }, 150ms));
		EXPECT_TRUE(handle.dispatch_delayed([&] { fired.push_back("short"); }, 30ms));
		handle.dispatch_delayed([handle] { handle.exit(0); }, 400ms);
	});
	EXPECT_EQ(code, 0);
	EXPECT_EQ(fired, (std::vector<std::string>{"short", "long"}));
}

TEST(DelayedDispatch, FromAnotherThreadRunsOnTheGuiThreadAfterItsDelay) {
	TestApplication app;
	auto gui_thread = std::this_thread::get_id();
	std::thread::id ran_on;
	Clock::duration waited{};
	std::thread requester;
	int code = app.run([&](bw_Application* app) {
		requester = std::thread([&, handle = handle_of(app)] {
			auto requested = Clock::now();
			EXPECT_TRUE(handle.dispatch_delayed(
			    [&, handle, requested] {
				    ran_on = std::this_thread::get_id();
				    waited = Clock::now() - requested;
				    handle.exit(0);
			    },
			    80ms));
		});
	});
	requester.join();
	EXPECT_EQ(code, 0);
	EXPECT_EQ(ran_on, gui_thread);
	EXPECT_GE(waited, 80ms);
}

TEST(Dispatch, FromOtherThreadsRunsOnTheGuiThreadInPostingOrder) {
	TestApplication app;
	auto gui_thread = std::this_thread::get_id();
	std::vector<int> order;
	std::thread poster;
	int code = app.run([&](bw_Application* app) {
		poster = std::thread([&, handle = handle_of(app)] {
			for (int i = 0; i < 100; i++)
				handle.dispatch([&, i] {
					EXPECT_EQ(std::this_thread::get_id(), gui_thread);
					order.push_back(i);
				});
			handle.exit_threadsafe(0);
		});
	});
	poster.join();
	EXPECT_EQ(code, 0);
	ASSERT_EQ(order.size(), 100u);
	for (int i = 0; i < 100; i++) EXPECT_EQ(order[i], i);
}

TEST(Dispatch, RefusedWhenTheLoopIsNotRunning) {
	TestApplication app;
	bool called = false;
	// Refused calls are released (LeakSanitizer would report their boxes) and never made.
	EXPECT_FALSE(handle_of(app.get()).dispatch([&] { called = true; }));
	app.run([](bw_Application* app) { bw_Application_exit(app, 0); });
	EXPECT_FALSE(handle_of(app.get()).dispatch([&] { called = true; }));
	EXPECT_FALSE(handle_of(app.get()).dispatch_delayed([&] { called = true; }, 1ms));
	std::thread([&] { EXPECT_FALSE(handle_of(app.get()).dispatch_delayed([&] { called = true; }, 1ms)); }).join();
	EXPECT_FALSE(called);
}

TEST(DelayedDispatch, LongestDelayIsAcceptedOneMoreIsFatal) {
	TestApplication app;
	app.run([](bw_Application* app) {
		// Armed, then discarded uncalled when the application is freed.
		EXPECT_TRUE(bw_Application_dispatchDelayed(app, [](bw_Application*, void*) { FAIL(); }, nullptr, 2147483647u));
		bw_Application_exit(app, 0);
	});
	EXPECT_DEATH(
	    {
		    TestApplication doomed;
		    doomed.run([](bw_Application* app) { bw_Application_dispatchDelayed(app, [](bw_Application*, void*) {}, nullptr, 2147483648u); });
	    },
	    "too many milliseconds");
}

} // namespace
} // namespace bw
