// The message loop's exit codes, draining, the done state and the upper layer's application objects.
#include "application/application.hpp"
#include "application/task.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace bw {
namespace {

using testing::TestApplication;

TEST(MessageLoop, FirstExitRequestSetsTheCode) {
	TestApplication app;
	int code = app.run([](bw_Application* app) {
		bw_Application_exit(app, 1);
		bw_Application_exit(app, 0);
	});
	EXPECT_EQ(code, 1);
}

TEST(MessageLoop, CallsQueuedAroundTheExitRequestStillRun) {
	TestApplication app;
	std::vector<std::string> ran;
	int code = app.run([&](bw_Application* app) {
		ApplicationHandle handle(ApplicationImpl{app});
		handle.dispatch([&] { ran.push_back("before exit"); });
		bw_Application_exit(app, 7);
		handle.dispatch([&, handle] {
			ran.push_back("after exit");
			// Posted while the loop drains the queue after the exit request.
			EXPECT_TRUE(handle.dispatch([&] { ran.push_back("while draining"); }));
		});
	});
	EXPECT_EQ(code, 7);
	EXPECT_EQ(ran, (std::vector<std::string>{"before exit", "after exit", "while draining"}));
}

TEST(MessageLoop, MarkAsDoneEndsTheLoopOnceNoWindowIsOpen) {
	TestApplication app;
	EXPECT_EQ(app.run([](bw_Application* app) { bw_Application_markAsDone(app); }), 0);
	EXPECT_TRUE(bw_Application_isDone(app.get()));

	// A second run starts with the done state cleared, and one open window keeps it going.
	bool window_freed = false;
	int code = app.run([&](bw_Application* app) {
		EXPECT_FALSE(bw_Application_isDone(app));
		bw_Application_windowCreated(app);
		bw_Application_markAsDone(app);
		ApplicationHandle(ApplicationImpl{app}).dispatch_delayed(
		    [&, app] {
			    window_freed = true;
			    bw_Application_windowFreed(app);
		    },
		    std::chrono::milliseconds(50));
	});
	EXPECT_EQ(code, 0);
	EXPECT_TRUE(window_freed);
}

TEST(MessageLoop, RunOnAnotherThreadIsFatal) {
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_DEATH(
	    {
		    TestApplication app;
		    std::thread other([&] { bw_Application_run(app.get(), [](bw_Application*, void*) {}, nullptr); });
		    other.join();
	    },
	    "Application handle used in invalid thread!");
}

TEST(Runtime, MainTaskEndEndsTheLoopUnlessAnExitCameFirst) {
	auto app = Application::initialize();
	ASSERT_TRUE(app.ok()) << app.error().to_string();
	Runtime runtime = app.value().start();

	bool slept = false;
	int code = runtime.run_async([&](ApplicationHandle handle) -> Task<> {
		co_await handle.sleep(std::chrono::milliseconds(20));
		slept = true;
	});
	EXPECT_EQ(code, 0);
	EXPECT_TRUE(slept);

	code = runtime.run_async([](ApplicationHandle handle) -> Task<> {
		handle.exit(5);
		co_await handle.sleep(std::chrono::milliseconds(1));
	});
	EXPECT_EQ(code, 5);
}

TEST(ApplicationSettings, DefaultResourcePathIsBesideTheExecutable) {
	auto path = ApplicationSettings::default_resource_path();
	EXPECT_EQ(path.filename(), "resources");
	EXPECT_TRUE(std::filesystem::is_directory(path.parent_path()));
}

} // namespace
} // namespace bw
