// Creating browser windows over the stand-in engine: what the engine is asked in which order, the
// settings, the sources, the size, the one announcement, the view's bounds.
#include "edge2_support.hpp"
#include "standin_control.h"
#include "support/user_actions.hpp"

#include <bw/window_win32.h>

namespace bw::edge2_test {
namespace {

using testing::eventually;

struct Announcements {
	int count = 0;
	bw_BrowserWindow* record = nullptr;
};

void count_announcement(BrowserWindowImpl browser, void* data) {
	auto* announcements = static_cast<Announcements*>(data);
	announcements->count++;
	announcements->record = browser.inner();
}

// A window made directly, as the builder does, with any developer tools value. Returns its native
// window, which exists at once.
bw_Window* create_directly(ApplicationHandle app, Announcements& announcements, int32_t dev_tools) {
	static int made = 0;
	std::string title = "direct " + std::to_string(++made);
	BrowserWindowImpl::new_(app.impl(), WindowImpl(), Source::Url{"https://example.test/"}, title, 400, 300, bw_WindowOptions{1, 1, 1},
	                        bw_BrowserWindowOptions{dev_tools, bw_CStrSlice{0, ""}}, std::make_shared<const PageCapabilities>(), count_announcement, &announcements);
	std::wstring wide_title(title.begin(), title.end());
	HWND handle = FindWindowW(L"bw-window", wide_title.c_str());
	return reinterpret_cast<bw_Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
}

HWND engine_view(bw_Window* window) { return FindWindowExW(bw_WindowWin32_getHandle(window), nullptr, STANDIN_HOST_WINDOW_CLASS, nullptr); }

class Creation : public Edge2Test {};

TEST_F(Creation, AsksTheEngineStepByStepAndAnnouncesOnceLoaded) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/app"}, [](BrowserWindowBuilder& builder) {
			builder.dev_tools(true);
			builder->size(640, 480);
		});
		BrowserWindow browser = co_await std::move(pending);
		bw_Window* window = browser.window().impl().inner();
		bw_Dims2D client = browser.window().content_dimensions();
		EXPECT_EQ(call_log(), (std::vector<std::string>{
		                          "GetAvailableCoreWebView2BrowserVersionString(null)",
		                          "CreateCoreWebView2EnvironmentWithOptions(null,null,opts)",
		                          "options.get_AdditionalBrowserArguments=null",
		                          "options.get_Language=null",
		                          "options.get_TargetCompatibleBrowserVersion=89.0.765",
		                          "options.get_AllowSingleSignOnUsingOSPrimaryAccount=0",
		                          "CreateCoreWebView2Controller(window)",
		                          "put_IsVisible(1)",
		                          "get_CoreWebView2",
		                          "get_Settings",
		                          "put_IsScriptEnabled(1)",
		                          "put_AreDefaultScriptDialogsEnabled(1)",
		                          "put_IsWebMessageEnabled(1)",
		                          "put_AreDevToolsEnabled(1)",
		                          "put_Bounds(0,0," + std::to_string(client.width) + "," + std::to_string(client.height) + ")",
		                          "AddScriptToExecuteOnDocumentCreated(" + bridge_logged + ")",
		                          "Navigate(https://example.test/app)",
		                          "ExecuteScript(" + bridge_logged + ")",
		                          "add_NavigationCompleted",
		                          // Whether the source loaded is read as the window is announced.
		                          "args.get_IsSuccess",
		                      }));
		// Announced after the first navigation completed, not before.
		std::vector<std::string> trace = lines(StandIn_Trace());
		EXPECT_TRUE(trace.size() >= 2 && trace[trace.size() - 2].starts_with("> NavigationCompleted id=1 success=1")) << StandIn_Trace();
		for (const char* setting : {"IsScriptEnabled", "AreDefaultScriptDialogsEnabled", "IsWebMessageEnabled", "AreDevToolsEnabled"})
			EXPECT_EQ(StandIn_Setting(setting), 1) << setting;
		EXPECT_EQ(browser->url(), "https://example.test/app");

		// The view fills the window's client area.
		HWND view = engine_view(window);
		EXPECT_NE(view, nullptr);
		RECT rect{};
		GetClientRect(view, &rect);
		EXPECT_EQ(rect.right, client.width);
		EXPECT_EQ(rect.bottom, client.height);
		browser.window().show();
		testing::user_close(window);
	}),
	          0);
}

TEST_F(Creation, DeveloperToolsOnlyForAPositiveValue) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		for (int32_t dev_tools : {1, 0, -1}) {
			Announcements announced;
			create_directly(app, announced, dev_tools);
			EXPECT_TRUE(co_await eventually(app, [&] { return announced.count == 1; }));
			EXPECT_EQ(StandIn_Setting("AreDevToolsEnabled"), dev_tools > 0 ? 1 : 0) << dev_tools;
			free_window(announced.record);
		}
	}),
	          0);
}

TEST_F(Creation, HtmlIsLoadedAsADocumentAndAFileByItsPlainPath) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture html_pending = open(app, Source::Html{"<p>caf\xc3\xa9</p>"});
		BrowserWindow html = co_await std::move(html_pending);
		BrowserWindowFuture file_pending = open(app, Source::File{L"C:\\pages\\index.html"});
		BrowserWindow file = co_await std::move(file_pending);
		EXPECT_EQ(count_calls("NavigateToString(<p>caf\xc3\xa9</p>)"), 1);
		EXPECT_EQ(count_calls("Navigate(C:\\\\pages\\\\index.html)"), 1);
		EXPECT_EQ(file->url(), "C:\\pages\\index.html");
		for (BrowserWindow* each : {&html, &file}) {
			each->window().show();
			testing::user_close(each->window().impl().inner());
		}
	}),
	          0);
}

TEST_F(Creation, WithoutASizeTheWindowHasTheSystemsDefaultSize) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);
		HWND reference = CreateWindowExW(0, L"STATIC", L"reference", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr,
		                                 nullptr, nullptr);
		RECT expected{};
		GetWindowRect(reference, &expected);
		DestroyWindow(reference);
		bw_Dims2D size = browser.window().window_dimensions();
		EXPECT_EQ(size.width, expected.right - expected.left);
		EXPECT_EQ(size.height, expected.bottom - expected.top);
		EXPECT_GT(size.width, 200);
		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

TEST_F(Creation, AnnouncedOnceEvenWhenTheFirstNavigationFails) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		StandIn_SetNavigationResult(STANDIN_NAVIGATION_FAIL);
		Announcements announced;
		create_directly(app, announced, 0);
		EXPECT_TRUE(co_await eventually(app, [&] { return announced.count == 1; }));
		EXPECT_EQ(count_events("NavigationCompleted id=1 success=0"), 1);

		StandIn_SetNavigationResult(STANDIN_NAVIGATION_SUCCEED);
		Result<std::monostate> navigated = BrowserWindowImpl(announced.record).navigate("https://example.test/second");
		EXPECT_TRUE(navigated.ok());
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2") == 1; }));
		co_await app.sleep(std::chrono::milliseconds(50));
		EXPECT_EQ(announced.count, 1);
		free_window(announced.record);
	}),
	          0);
}

TEST_F(Creation, TheViewFollowsResizesOnceItExists) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		Announcements announced;
		bw_Window* window = create_directly(app, announced, 0);
		EXPECT_NE(window, nullptr);
		if (window == nullptr) co_return;
		// Resized before the engine's controller exists.
		bw_Window_setContentDimensions(window, bw_Dims2D{300, 200});
		EXPECT_EQ(count_calls("put_Bounds"), 0);

		EXPECT_TRUE(co_await eventually(app, [&] { return announced.count == 1; }));
		EXPECT_EQ(count_calls("put_Bounds(0,0,300,200)"), 1);
		bw_Window_setContentDimensions(window, bw_Dims2D{800, 600});
		EXPECT_EQ(call_log().back(), "put_Bounds(0,0,800,600)");
		RECT rect{};
		GetClientRect(engine_view(window), &rect);
		EXPECT_EQ(rect.right, 800);
		EXPECT_EQ(rect.bottom, 600);
		free_window(announced.record);
	}),
	          0);
}

} // namespace
} // namespace bw::edge2_test
