// Browser windows over the test engine: building, the owner and its attachment to the window,
// closing by the user, scripts and page messages.
#include "browser/builder/browser_window_builder.hpp"
#include "support/test_application.hpp"
#include "support/test_engine.hpp"
#include "support/user_actions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::eventually;
using testing::TestApplication;

bool logged(const std::string& call) {
	const auto& calls = test_engine::log().calls;
	return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Builds outside the awaiting expression: g++ 12 destroys temporaries of a co_await's full
// expression twice.
BrowserWindowFuture open_page(ApplicationHandle app) { return BrowserWindowBuilder::build_async(BrowserWindowBuilder(Source::Url{"http://a"}), app); }

int count_logged(const std::string& call) {
	const auto& calls = test_engine::log().calls;
	return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

class BrowserWindowTest : public ::testing::Test {
protected:
	void SetUp() override { test_engine::reset(); }
	TestApplication app;
};

TEST_F(BrowserWindowTest, BuildsAHiddenWindowWithTheBuildersOptions) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowBuilder defaults(Source::Url{"http://127.0.0.1:37338"});
		BrowserWindowFuture pending = BrowserWindowBuilder::build_async(std::move(defaults), app);
		// The native window exists from here on, hidden, before the engine announced it.
		EXPECT_TRUE(logged("new Url:http://127.0.0.1:37338 title=Browser Window width=-1 height=-1 dev_tools=0 resource_path=0"));
		EXPECT_FALSE(logged("announce"));
		BrowserWindow plain = co_await std::move(pending);
		EXPECT_EQ(plain.window().title(), "Browser Window");
		EXPECT_FALSE(bw_Window_isVisible(plain.window().impl().inner()));

		BrowserWindowBuilder builder(Source::Html{"<p>hi</p>"});
		builder.dev_tools(true);
		builder->title("first").title("Tarnwick");
		(*builder).size(1024, 768);
		BrowserWindow tarnwick = co_await BrowserWindowBuilder::build(std::move(builder), app);
		EXPECT_TRUE(logged("new Html:<p>hi</p> title=Tarnwick width=1024 height=768 dev_tools=1 resource_path=0"));
		EXPECT_EQ(tarnwick.window().title(), "Tarnwick");
		tarnwick.window().show();
		EXPECT_TRUE(co_await eventually(app, [&] { return tarnwick.window().window_dimensions().width == 1024; }));
		EXPECT_EQ(tarnwick.window().window_dimensions().height, 768);
		// The user closes both once the task dropped its references: each frees its window.
		plain.window().show();
		testing::user_close(plain.window().impl().inner());
		testing::user_close(tarnwick.window().impl().inner());
	}),
	          0);
	EXPECT_EQ(count_logged("free"), 2);
	EXPECT_EQ(test_engine::log().live_engines, 0);
}

TEST_F(BrowserWindowTest, ARelativeFileReachesTheEngineAsAnAbsolutePath) {
	const std::filesystem::path expected = std::filesystem::current_path() / "pages" / "index.html";
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = BrowserWindowBuilder::build_async(BrowserWindowBuilder(Source::File{"pages/index.html"}), app);
		BrowserWindow window = co_await std::move(pending);
		window.window().show();
		testing::user_close(window.window().impl().inner());
	}),
	          0);
	EXPECT_TRUE(logged("new File:" + expected.string() + " title=Browser Window width=-1 height=-1 dev_tools=0 resource_path=0"));
}

TEST_F(BrowserWindowTest, DroppedWhileOpenFreesNothingUntilTheUserClosesTheWindow) {
	bw_Window* window = nullptr;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		{
			BrowserWindow browser = co_await open_page(app);
			browser.window().show();
			window = browser.window().impl().inner();
			EXPECT_EQ(browser.owner().use_count(), 2); // the task's and the window's
		}
		EXPECT_FALSE(logged("free"));
		EXPECT_EQ(test_engine::log().live_engines, 1);
		// Arrives after the task ended and the application is done: the last window ends it with 0.
		testing::user_close(window);
	}),
	          0);
	EXPECT_TRUE(logged("free"));
	EXPECT_EQ(test_engine::log().live_engines, 0);
}

TEST_F(BrowserWindowTest, ClosingTheLastWindowBeforeTheMainTaskEndsDoesNotEndTheApplication) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		{
			BrowserWindow browser = co_await open_page(app);
			browser.window().show();
			testing::user_close(browser.window().impl().inner());
		}
		EXPECT_TRUE(co_await eventually(app, [] { return logged("free"); }));
		co_await app.sleep(100ms);
		// Had the free ended the application, its code would come first.
		app.exit(7);
	}),
	          7);
}

TEST_F(BrowserWindowTest, ClosingWhileHeldOnlyHidesAndTheLaterDropFrees) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		std::optional<BrowserWindow> browser = co_await open_page(app);
		bw_Window* window = (*browser)->window().impl().inner();
		browser->window().show();
		testing::user_close(window);
		EXPECT_TRUE(co_await eventually(app, [&] { return !testing::system_visible(window); }));
		EXPECT_EQ(browser->owner().use_count(), 1);
		EXPECT_EQ(bw_Window_getUserData(window), nullptr);
		EXPECT_FALSE(logged("free"));

		// A second close finds no attachment and only hides again.
		browser->window().show();
		testing::user_close(window);
		EXPECT_TRUE(co_await eventually(app, [&] { return !testing::system_visible(window); }));
		EXPECT_EQ(test_engine::log().live_engines, 1);

		browser.reset();
		EXPECT_TRUE(logged("free"));
		EXPECT_EQ(test_engine::log().live_engines, 0);
	}),
	          0);
}

TEST_F(BrowserWindowTest, HandleCloseHidesWithoutReleasingAndShowBringsTheSamePageBack) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindow browser = co_await open_page(app);
		browser->navigate("http://b/page");
		browser.window().show();
		browser->close();
		EXPECT_FALSE(bw_Window_isVisible(browser.window().impl().inner()));
		EXPECT_FALSE(testing::system_visible(browser.window().impl().inner()));
		EXPECT_EQ(browser.owner().use_count(), 2);
		browser.window().show();
		EXPECT_TRUE(testing::system_visible(browser.window().impl().inner()));
		EXPECT_EQ(browser->url(), "http://b/page");
		EXPECT_EQ(count_logged("navigate http://b/page"), 1);
		browser->close();
		// Hidden, the window still holds its browser window: only the user's close ends it.
		co_await app.sleep(100ms);
		EXPECT_EQ(test_engine::log().live_engines, 1);
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

TEST_F(BrowserWindowTest, SetUserDataDoesNotReleaseWhatWasThere) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindow browser = co_await open_page(app);
		WindowImpl window = browser.window().impl();
		auto* attachment = static_cast<BrowserUserData*>(bw_Window_getUserData(window.inner()));
		window.set_user_data(nullptr);
		EXPECT_EQ(browser.owner().use_count(), 2);
		window.set_user_data(attachment);
		window.show();
		testing::user_close(window.inner());
	}),
	          0);
	EXPECT_EQ(test_engine::log().live_engines, 0);
}

TEST_F(BrowserWindowTest, ScriptsCompleteWithTheirValueOrTheirError) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindow browser = co_await open_page(app);
		JsEvalResult value = co_await browser->eval_js("[1, true, \"x\"]");
		const JsValue* array = std::get_if<JsValue>(&value);
		EXPECT_TRUE(array != nullptr && array->to_string() == "[1,true,\"x\"]");
		JsEvalResult failed = co_await browser->eval_js("throw 1");
		EXPECT_TRUE(std::holds_alternative<JsEvaluationError>(failed));
		browser->exec_js("null");
		EXPECT_TRUE(co_await eventually(app, [] { return logged("eval_js null"); }));
		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

// One evaluation asked for from another thread: where its callback ran, and with what.
struct CrossThreadOutcome {
	int calls = 0;
	std::thread::id thread;
	std::string text;
};

void record_outcome(BrowserWindowImpl, void* data, JsEvalResult result) {
	auto* outcome = static_cast<CrossThreadOutcome*>(data);
	outcome->calls++;
	outcome->thread = std::this_thread::get_id();
	const auto* error = std::get_if<JsEvaluationError>(&result);
	outcome->text = error != nullptr ? "error: " + error->message : std::get<JsValue>(result).to_string();
}

TEST_F(BrowserWindowTest, ScriptsFromAnotherThreadCompleteOnceAlsoWhenTheWindowOrTheLoopIsGone) {
	CrossThreadOutcome after_loop;
	std::optional<BrowserWindowHandle> kept;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		std::optional<BrowserWindow> browser = co_await open_page(app);
		BrowserWindowHandle handle = browser->handle();
		kept = handle;

		CrossThreadOutcome carried;
		std::thread([handle, &carried] { handle.eval_js_threadsafe("[2]", record_outcome, &carried); }).join();
		EXPECT_TRUE(co_await eventually(app, [&] { return carried.calls == 1; }));
		EXPECT_EQ(carried.thread, std::this_thread::get_id());
		EXPECT_EQ(carried.text, "[2]");

		// On its way when the window is freed: the engine is never asked, the caller still hears back.
		CrossThreadOutcome late;
		std::thread([handle, &late] { handle.eval_js_threadsafe("3", record_outcome, &late); }).join();
		browser->window().impl().close();
		browser.reset();
		EXPECT_TRUE(logged("free"));
		EXPECT_TRUE(co_await eventually(app, [&] { return late.calls == 1; }));
		EXPECT_EQ(late.text, "error: unable to execute script: the browser window was freed");
		EXPECT_FALSE(logged("eval_js 3"));
	}),
	          0);
	// The loop has ended: refused, and reported at once.
	std::thread([&] { kept->eval_js_threadsafe("4", record_outcome, &after_loop); }).join();
	EXPECT_EQ(after_loop.calls, 1);
	EXPECT_EQ(after_loop.text, "error: unable to execute script: the application no longer runs");
	EXPECT_FALSE(logged("eval_js 4"));
}

TEST_F(BrowserWindowTest, PageMessagesReachTheHandlerWhileTheWindowLives) {
	std::vector<std::string> seen;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		std::optional<BrowserWindow> browser = co_await open_page(app);
		bw_BrowserWindow* record = (*browser)->inner().inner();
		browser->on_message().register_handler([&](BrowserWindowHandle handle, MessageEventArgs args) {
			EXPECT_EQ(handle.inner().inner(), record);
			std::string line = args.cmd;
			for (const JsValue& arg : args.args) line += "|" + arg.to_string();
			seen.push_back(line);
		});
		test_engine::post_message(record, R"(["open", 1, true])");
		test_engine::post_message(record, R"([5, "x"])");
		test_engine::post_message(record, R"(["say \"hi\""])");
		// Not an array, an empty one, not JSON: each ignored on its own.
		test_engine::post_message(record, R"({"a": 1})");
		test_engine::post_message(record, "[]");
		test_engine::post_message(record, "[1,");
		test_engine::post_message(record, R"(["after"])");
		EXPECT_EQ(seen, (std::vector<std::string>{"open|1|true", "5|\"x\"", "say \"hi\"", "after"}));

		// An asynchronous handler runs as a task of the application.
		bool async_ran = false;
		browser->on_message().register_handler([&](BrowserWindow window, MessageEventArgs args) -> Task<> {
			co_await window.app_handle().sleep(10ms);
			async_ran = args.cmd == "later";
		});
		test_engine::post_message(record, R"(["later"])");
		EXPECT_TRUE(co_await eventually(app, [&] { return async_ran; }));
		browser->window().show();
		browser.reset();
		testing::user_close(record->window);
		EXPECT_TRUE(co_await eventually(app, [] { return logged("free"); }));
		// Gone with its window: later messages find no handler.
		test_engine::post_message(record, R"(["late"])");
		EXPECT_EQ(seen.back(), "after");
	}),
	          0);
}

// A handler that holds its own window keeps it only while something else holds it too: once the user
// closed it, the window goes when the last other reference goes, and the program ends.
TEST_F(BrowserWindowTest, AHandlerHoldingItsOwnWindowLetsItGoOnceTheUserClosedIt) {
	std::vector<std::string> seen;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		{
			// Closed while the task still holds it: freed when the task lets go.
			BrowserWindow held = co_await open_page(app);
			held.on_message().register_handler([held, &seen](BrowserWindowHandle, MessageEventArgs args) { seen.push_back(args.cmd); });
			test_engine::post_message(held->inner().inner(), R"(["still here"])");
			held.window().show();
			testing::user_close(held.window().impl().inner());
			EXPECT_TRUE(co_await eventually(app, [&] { return !testing::system_visible(held.window().impl().inner()); }));
			EXPECT_FALSE(logged("free"));
			test_engine::post_message(held->inner().inner(), R"(["after the close"])");
		}
		EXPECT_EQ(count_logged("free"), 1);
		EXPECT_EQ(seen, (std::vector<std::string>{"still here", "after the close"}));

		// Let go first, then closed by the user.
		bw_Window* native = nullptr;
		{
			BrowserWindow dropped = co_await open_page(app);
			dropped.on_message().register_handler([dropped](BrowserWindow, MessageEventArgs) -> Task<> { co_return; });
			dropped.window().show();
			native = dropped.window().impl().inner();
		}
		testing::user_close(native);
		EXPECT_TRUE(co_await eventually(app, [] { return count_logged("free") == 2; }));
	}),
	          0);
	EXPECT_EQ(test_engine::log().live_engines, 0);
}

TEST_F(BrowserWindowTest, UnsupportedEventsAreFatal) {
	// Each case in a process of its own: a forked one would share this process's display
	// connection with the case before it.
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_EXIT(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindow browser = co_await open_page(app);
		browser.on_tooltip();
	}),
	            ::testing::ExitedWithCode(101), "^not implemented\n$");
	EXPECT_EXIT(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindow browser = co_await open_page(app);
		browser.on_download_started();
	}),
	            ::testing::ExitedWithCode(101), "^not implemented\n$");
}

TEST_F(BrowserWindowTest, AWindowAnnouncedAfterItsAwaiterWasDroppedIsFatal) {
	EXPECT_EXIT(app.run([](bw_Application* raw) {
		ApplicationHandle app{ApplicationImpl(raw)};
		test_engine::set_announce(false);
		{ BrowserWindowFuture dropped = open_page(app); }
		test_engine::announce_pending();
	}),
	            ::testing::ExitedWithCode(101), "Unable to send browser handle back");
}

TEST_F(BrowserWindowTest, ACreationDroppedUnannouncedIsFatalToItsAwaiter) {
	EXPECT_EXIT(app.run_main([](ApplicationHandle app) -> Task<> {
		test_engine::set_announce(false);
		BrowserWindowFuture pending = open_page(app);
		app.dispatch([] { test_engine::drop_pending(); });
		co_await std::move(pending);
	}),
	            ::testing::ExitedWithCode(101), "called `Result::unwrap\\(\\)` on an `Err` value: Canceled");
}

} // namespace
} // namespace bw
