// A ready browser window's view: navigating, its address, and its release when the user closes the
// window.
#include "edge2_support.hpp"
#include "standin_control.h"
#include "support/user_actions.hpp"

#include <bw/window_win32.h>

namespace bw::edge2_test {
namespace {

using testing::eventually;

class View : public Edge2Test {};

TEST_F(View, NavigatesAndTellsItsAddress) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_EQ(browser->url(), "https://example.test/");

		EXPECT_TRUE(browser->navigate("https://example.test/caf\xc3\xa9").ok());
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2") == 1; }));
		EXPECT_EQ(browser->url(), "https://example.test/caf\xc3\xa9");

		// The engine is not asked for a URL holding a NUL.
		Result<std::monostate> with_nul = browser->navigate(std::string("https://a\0b", 11));
		EXPECT_FALSE(with_nul.ok());
		if (!with_nul.ok()) {
			// Wrapped Win32 errors carry their own code.
			EXPECT_EQ(with_nul.error().code(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
		}
		EXPECT_EQ(count_calls("Navigate(https://a"), 0);

		StandIn_FailStepOnce("Navigate", E_ACCESSDENIED);
		Result<std::monostate> refused = browser->navigate("https://example.test/refused");
		EXPECT_FALSE(refused.ok());
		if (!refused.ok()) {
			EXPECT_EQ(refused.error().code(), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
		}

		StandIn_FailStepOnce("get_Source", E_FAIL);
		EXPECT_EQ(browser->url(), "");
		EXPECT_EQ(browser->url(), "https://example.test/caf\xc3\xa9");

		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

TEST_F(View, ClosingTheWindowAfterTheTaskDroppedItReleasesEveryEngineObject) {
	HWND window = nullptr;
	HWND view = nullptr;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);
		browser.on_message().register_handler([](BrowserWindowHandle, MessageEventArgs) {});
		browser.window().show();
		window = bw_WindowWin32_getHandle(browser.window().impl().inner());
		view = FindWindowExW(window, nullptr, STANDIN_HOST_WINDOW_CLASS, nullptr);
		EXPECT_NE(view, nullptr);
		EXPECT_GT(StandIn_LiveObjects(), 0);
		// The task ends and drops its reference; the window keeps its own until the user closes it.
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
	EXPECT_EQ(StandIn_LiveObjects(), 0) << StandIn_LiveObjectList();
	EXPECT_FALSE(IsWindow(view));
	EXPECT_FALSE(IsWindowVisible(window));
	// A late message reaches neither the freed record nor the engine.
	int calls = static_cast<int>(call_log().size());
	SendMessageW(window, WM_SIZE, 0, 0);
	EXPECT_EQ(static_cast<int>(call_log().size()), calls);
}

} // namespace
} // namespace bw::edge2_test
