// Many threads dispatching at once while the loop runs: every call runs exactly once, on the GUI
// thread, in each thread's posting order.
#include "application/application.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace bw {
namespace {

TEST(DispatchStress, EightThreadsOfAHundredThousandCallsLoseNothing) {
	constexpr int thread_count = 8;
	constexpr int calls_per_thread = 100'000;

	testing::TestApplication app;
	auto gui_thread = std::this_thread::get_id();
	std::vector<int> next_expected(thread_count, 0); // GUI thread only
	int out_of_order = 0, wrong_thread = 0;
	std::atomic<int> refused{0};
	std::vector<std::thread> posters;

	int code = app.run(
	    [&](bw_Application* raw) {
		    ApplicationHandle handle(ApplicationImpl{raw});
		    for (int t = 0; t < thread_count; t++) {
			    posters.emplace_back([&, handle, t] {
				    for (int i = 0; i < calls_per_thread; i++) {
					    bool posted = handle.dispatch([&, t, i] {
						    if (std::this_thread::get_id() != gui_thread) wrong_thread++;
						    if (next_expected[t] != i) out_of_order++;
						    next_expected[t] = i + 1;
					    });
					    if (!posted) refused++;
				    }
			    });
		    }
		    // Ends the run once every poster has finished and its calls have been made.
		    std::thread([&, handle] {
			    for (auto& poster : posters) poster.join();
			    handle.dispatch([handle] { handle.exit(0); });
		    }).detach();
	    },
	    std::chrono::seconds(300));

	EXPECT_EQ(code, 0);
	EXPECT_EQ(refused.load(), 0);
	EXPECT_EQ(wrong_thread, 0);
	EXPECT_EQ(out_of_order, 0);
	for (int t = 0; t < thread_count; t++) EXPECT_EQ(next_expected[t], calls_per_thread) << "thread " << t;
}

} // namespace
} // namespace bw
