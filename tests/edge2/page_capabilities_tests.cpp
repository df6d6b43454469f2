// The builder's opt-in page capabilities over the stand-in engine, driven from the page's side:
// navigations and new windows the policy decides, downloads, ended page processes, zoom, the colour
// under the page, failed pages without the engine's error page, and a first navigation that never
// answers.
#include "core/browser_window/edge2/webview2_abi.hpp"
#include "edge2_support.hpp"
#include "standin_control.h"
#include "support/user_actions.hpp"

#include <bw/window_win32.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bw::edge2_test {
namespace {

using testing::eventually;

void close_by_user(const BrowserWindow& browser) {
	browser.window().show();
	testing::user_close(browser.window().impl().inner());
}

std::string request_line(const NavigationRequest& request) {
	return request.url + (request.new_window ? " new-window" : "") + (request.user_initiated ? " by-user" : "");
}

class PageCapabilities : public Edge2Test {};

TEST_F(PageCapabilities, ThePolicyDecidesNavigationsAndNewWindowsWhichNeverOpenAWindowOfTheEngine) {
	std::vector<std::string> asked;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.navigation_policy([&](BrowserWindowHandle, const NavigationRequest& request) {
				asked.push_back(request_line(request));
				return request.url.find("blocked") == std::string::npos ? NavigationDecision::Allow : NavigationDecision::Deny;
			});
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_TRUE(browser->source_loaded());

		// Denied: cancelled while the engine waits for the handler, and the page stays.
		EXPECT_TRUE(StandIn_ClickLink(L"https://example.test/blocked", FALSE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2 success=0 status=14") == 1; }));
		EXPECT_EQ(browser->url(), "https://example.test/");
		EXPECT_EQ(count_events("document https://example.test/blocked"), 0);

		// A new window the policy denies opens nowhere; one it allows loads here.
		EXPECT_TRUE(StandIn_ClickLink(L"https://popup.test/blocked", TRUE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("no window opens for https://popup.test/blocked") == 1; }));
		EXPECT_TRUE(StandIn_ClickLink(L"https://popup.test/fine", TRUE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=3 success=1") == 1; }));
		EXPECT_EQ(browser->url(), "https://popup.test/fine");
		EXPECT_EQ(count_events("engine popup opens"), 0);
		close_by_user(browser);

		// A denied source: the window is still announced, as one whose source did not load.
		BrowserWindowFuture denied = open(app, Source::Url{"https://example.test/blocked-source"}, [&](BrowserWindowBuilder& builder) {
			builder.navigation_policy([&](BrowserWindowHandle, const NavigationRequest& request) {
				asked.push_back(request_line(request));
				return NavigationDecision::Deny;
			});
		});
		BrowserWindow refused = co_await std::move(denied);
		EXPECT_FALSE(refused->source_loaded());
		close_by_user(refused);
	}),
	          0);
	EXPECT_EQ(asked, (std::vector<std::string>{"https://example.test/", "https://example.test/blocked by-user",
	                                           "https://popup.test/blocked new-window by-user", "https://popup.test/fine new-window by-user",
	                                           "https://popup.test/fine", "https://example.test/blocked-source"}));
}

std::string file_text(const std::filesystem::path& path) {
	std::ifstream file(path, std::ios::binary);
	std::ostringstream text;
	text << file.rdbuf();
	return text.str();
}

TEST_F(PageCapabilities, DownloadsGoWhereTheProgramSaysAndEachAcceptedOneReportsItsEnd) {
	std::filesystem::path folder = std::filesystem::temp_directory_path() / ("edge2-downloads-" + std::to_string(GetCurrentProcessId()));
	std::filesystem::remove_all(folder);
	std::vector<std::string> requests;
	std::vector<DownloadOutcome> outcomes;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.downloads(
			    [&](BrowserWindowHandle, const DownloadRequest& request) -> std::optional<std::filesystem::path> {
				    requests.push_back(request.url + " " + request.suggested_name + " " + request.mime_type);
				    if (request.suggested_name == "declined.txt") return std::nullopt;
				    // Distinct names for the same suggestion, in a folder that does not exist yet.
				    return folder / "nested" / (std::to_string(requests.size()) + "-" + request.suggested_name);
			    },
			    [&](BrowserWindowHandle, const DownloadOutcome& outcome) { outcomes.push_back(outcome); });
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/get?id=1", L"attachment; filename=\"report.txt\"", L"text/plain", "first", 5, 0));
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/get?id=2", L"attachment; filename=\"report.txt\"", L"text/plain", "second!", 7, 0));
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/declined.txt", nullptr, L"text/plain", "no", 2, 0));
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/data.bin", nullptr, L"application/octet-stream", nullptr, 0,
		                                  COREWEBVIEW2_DOWNLOAD_INTERRUPT_REASON_NETWORK_FAILED));
		EXPECT_TRUE(co_await eventually(app, [&] { return outcomes.size() == 3 && count_events("download StateChanged") == 4; }));
		co_await app.sleep(std::chrono::milliseconds(50));
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(requests, (std::vector<std::string>{"https://example.test/get?id=1 report.txt text/plain", "https://example.test/get?id=2 report.txt text/plain",
	                                              "https://example.test/declined.txt declined.txt text/plain",
	                                              "https://example.test/data.bin data.bin application/octet-stream"}));
	ASSERT_EQ(outcomes.size(), 3u);
	EXPECT_TRUE(outcomes[0].succeeded && outcomes[1].succeeded) << outcomes[0].error << outcomes[1].error;
	EXPECT_EQ(outcomes[0].path, folder / "nested" / "1-report.txt");
	EXPECT_EQ(file_text(outcomes[0].path), "first");
	EXPECT_EQ(file_text(outcomes[1].path), "second!");
	EXPECT_EQ(outcomes[2].url, "https://example.test/data.bin");
	EXPECT_FALSE(outcomes[2].succeeded);
	EXPECT_EQ(outcomes[2].error, "a network error");
	// Declined: nothing saved, and no dialog of the engine's for any of them.
	EXPECT_EQ(count_events("download cancelled https://example.test/declined.txt"), 1);
	EXPECT_FALSE(std::filesystem::exists(folder / "nested" / "3-declined.txt"));
	EXPECT_EQ(count_events("default download dialog shown"), 0);
	EXPECT_EQ(StandIn_LiveObjects(), 0) << StandIn_LiveObjectList();
	std::filesystem::remove_all(folder);
}

// A server's name may be any bytes, a getter may fail, and the program's callback may throw: the
// name is repaired, and nothing escapes into the engine (the download is cancelled).
TEST_F(PageCapabilities, ADownloadNamedInAnyBytesWithFailingGettersAndAThrowingProgramIsCancelledQuietly) {
	std::vector<std::string> requests;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.downloads(
			    [&](BrowserWindowHandle, const DownloadRequest& request) -> std::optional<std::filesystem::path> {
				    requests.push_back(request.suggested_name + "|" + request.mime_type);
				    throw std::runtime_error("the program failed");
			    },
			    [](BrowserWindowHandle, const DownloadOutcome&) { ADD_FAILURE() << "nothing was accepted"; });
		});
		BrowserWindow browser = co_await std::move(pending);
		// Without the engine's proposed path the name comes from the header.
		StandIn_FailStep("args.get_ResultFilePath", E_FAIL);
		StandIn_FailStep("download.get_MimeType", E_FAIL);
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/get", L"attachment; filename*=UTF-8''caf%C3%20%FF.txt", L"text/plain", "x", 1, 0));
		EXPECT_TRUE(co_await eventually(app, [&] { return count_events("download cancelled https://example.test/get") == 1; }));
		StandIn_FailStep("args.get_ResultFilePath", S_OK);
		StandIn_FailStep("download.get_MimeType", S_OK);
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(requests, std::vector<std::string>{"caf\uFFFD \uFFFD.txt|"});
}

TEST_F(PageCapabilities, OnARuntimeWithoutDownloadEventsTheEngineKeepsItsOwnDownloads) {
	StandIn_FailStep("QueryInterface.ICoreWebView2_4", E_NOINTERFACE);
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.downloads([](BrowserWindowHandle, const DownloadRequest&) { return std::optional<std::filesystem::path>(); },
			                  [](BrowserWindowHandle, const DownloadOutcome&) { ADD_FAILURE() << "nothing is reported"; });
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_TRUE(StandIn_StartDownload(L"https://example.test/kept-by-engine.txt", nullptr, L"text/plain", "x", 1, 0));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("default download dialog shown") == 1; }));
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(count_calls("add_DownloadStarting"), 0);
}

TEST_F(PageCapabilities, AnEndedPageIsReportedAndReloadBringsItBack) {
	std::vector<std::string> failures;
	std::vector<std::string> messages;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/app"}, [&](BrowserWindowBuilder& builder) {
			builder.on_process_failed([&](BrowserWindowHandle handle, const ProcessFailure& failure) {
				failures.push_back(std::to_string(static_cast<int>(failure.kind)) + " " + failure.reason);
				// From inside the engine's event, as a program would.
				if (failure.kind == ProcessFailure::Kind::PageEnded) handle.reload();
			});
		});
		BrowserWindow browser = co_await std::move(pending);
		browser.on_message().register_handler([&](BrowserWindowHandle, MessageEventArgs args) { messages.push_back(args.cmd); });

		EXPECT_TRUE(StandIn_FailProcess(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE, COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE, 0));
		// Only logged: the page is unaffected.
		EXPECT_TRUE(StandIn_FailProcess(COREWEBVIEW2_PROCESS_FAILED_KIND_GPU_PROCESS_EXITED, COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED, 3));
		EXPECT_TRUE(StandIn_FailProcess(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED, COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED,
		                                static_cast<int>(0xC0000005)));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2 success=1") == 1; }));
		EXPECT_EQ(count_calls("Reload"), 1);
		EXPECT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"back\")"));
		EXPECT_TRUE(co_await eventually(app, [&] { return messages.size() == 1; }));

		EXPECT_TRUE(StandIn_FailProcess(COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED, COREWEBVIEW2_PROCESS_FAILED_REASON_TERMINATED, 1));
		EXPECT_TRUE(co_await eventually(app, [&] { return failures.size() == 3; }));
		// The program's print() opens the system's dialog; find is the engine's own bar's.
		browser->print();
		EXPECT_EQ(count_calls("ShowPrintUI(1)"), 1);
		EXPECT_FALSE(browser->find("rooms"));
		// The engine is gone: reloading does nothing, and nothing fails.
		browser->reload();
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(failures, (std::vector<std::string>{"1 The page's process stopped answering", "0 The page's process crashed (exit code 0xC0000005)",
	                                              "2 The browser engine was terminated (exit code 1)"}));
	EXPECT_EQ(messages, std::vector<std::string>{"back"});
}

TEST_F(PageCapabilities, TheZoomStartsAsAskedStaysInRangeAndTheUsersChangesAreReported) {
	std::vector<double> changes;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.zoom(1.5, [&](BrowserWindowHandle, double factor) { changes.push_back(factor); });
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_DOUBLE_EQ(browser->zoom(), 1.5);
		browser->set_zoom(9);
		EXPECT_DOUBLE_EQ(browser->zoom(), 5);
		browser->set_zoom(0.1);
		EXPECT_DOUBLE_EQ(browser->zoom(), 0.25);
		EXPECT_TRUE(StandIn_UserZoom(2));
		EXPECT_TRUE(co_await eventually(app, [&] { return !changes.empty(); }));
		EXPECT_DOUBLE_EQ(browser->zoom(), 2);
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(changes, std::vector<double>{2});
	EXPECT_EQ(count_calls("put_ZoomFactor(1.500000)"), 1);
}

TEST_F(PageCapabilities, TheBackgroundReachesTheEngineBeforeThePage) {
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.background(BackgroundColor{0x1e, 0x1e, 0x1e});
		});
		BrowserWindow browser = co_await std::move(pending);
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(count_events("background from WEBVIEW2_DEFAULT_BACKGROUND_COLOR FF1E1E1E"), 1);
	std::vector<std::string> calls = call_log();
	auto at = [&](std::string_view prefix) {
		return std::find_if(calls.begin(), calls.end(), [&](const std::string& line) { return line.starts_with(prefix); }) - calls.begin();
	};
	EXPECT_LT(at("put_DefaultBackgroundColor(FF1E1E1E)"), at("Navigate("));
	EXPECT_LT(at("CreateCoreWebView2Controller("), at("put_DefaultBackgroundColor("));
	// The next window's environment does not inherit it.
	EXPECT_EQ(GetEnvironmentVariableW(L"WEBVIEW2_DEFAULT_BACKGROUND_COLOR", nullptr, 0), 0u);
}

TEST_F(PageCapabilities, AFailedOrSilentFirstNavigationStillAnnouncesTheWindow) {
	StandIn_SetNavigationRule(L"https://down.test/", STANDIN_NAVIGATION_FAIL);
	StandIn_SetNavigationRule(L"https://silent.test/", STANDIN_NAVIGATION_NEVER_ANSWERS);
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		// Without the engine's error page: a blank one.
		BrowserWindowFuture failing = open(app, Source::Url{"https://down.test/"}, [](BrowserWindowBuilder& builder) { builder.engine_error_pages(false); });
		BrowserWindow failed = co_await std::move(failing);
		EXPECT_FALSE(failed->source_loaded());
		EXPECT_EQ(StandIn_Setting("IsBuiltInErrorPageEnabled"), 0);
		EXPECT_EQ(count_events("document https://down.test/ (blank page)"), 1);
		close_by_user(failed);

		auto started = std::chrono::steady_clock::now();
		BrowserWindowFuture silent = open(app, Source::Url{"https://silent.test/"},
		                                  [](BrowserWindowBuilder& builder) { builder.first_navigation_within(std::chrono::milliseconds(300)); });
		BrowserWindow stopped = co_await std::move(silent);
		EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300));
		EXPECT_FALSE(stopped->source_loaded());
		EXPECT_EQ(count_calls("Stop"), 1);
		// The stopped navigation's own completion comes later and changes nothing.
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2 success=0 status=14") == 1; }));
		EXPECT_FALSE(stopped->source_loaded());
		close_by_user(stopped);
	}),
	          0);
}

TEST_F(PageCapabilities, AFollowingBackgroundTurnsDarkWhenTheUserSetsAppsToDark) {
	const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
	RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [](BrowserWindowBuilder& builder) {
			builder.background(desktop_background());
			builder.follow_desktop_theme(true);
		});
		BrowserWindow browser = co_await std::move(pending);
		DWORD light = 0;
		RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme", REG_DWORD, &light, sizeof light);
		SendMessageW(bw_WindowWin32_getHandle(browser.window().impl().inner()), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
		EXPECT_EQ(count_calls("put_DefaultBackgroundColor(FF1E1E1E)"), 1);
		close_by_user(browser);
	}),
	          0);
	RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
}

TEST(DesktopTheme, DarkOnlyWhenTheUsersAppsAreSetToDark) {
	const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
	auto set_light = [&](DWORD light) {
		EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme", REG_DWORD, &light, sizeof light), ERROR_SUCCESS);
	};
	RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
	EXPECT_FALSE(desktop_prefers_dark());
	set_light(0);
	EXPECT_TRUE(desktop_prefers_dark());
	set_light(1);
	EXPECT_FALSE(desktop_prefers_dark());
	RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
}

} // namespace
} // namespace bw::edge2_test
