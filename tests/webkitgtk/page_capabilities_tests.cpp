// The page capabilities of the WebKitGTK binding with the real engine: pages served over HTTP, a
// user's clicks, keys and wheel through XTest.
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/message_delivery.hpp"
#include "engine_test_support.hpp"
#include "support/bus_service.hpp"
#include "support/session_bus.hpp"
#include "support/test_application.hpp"
#include "test_site.hpp"
#include "x_user.hpp"

#include <bw/window_gtk.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <X11/keysym.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::close_by_user;
using testing::eval_text;
using testing::eventually;
using testing::open;
using testing::page_says;
using testing::TestApplication;
using testing::TestSite;
using testing::x_window_of;
using testing::XUser;

// Does what a user does until the program sees its effect: another test's window may have taken the
// focus or covered the point meanwhile.
Task<bool> act_until(ApplicationHandle app, std::function<void()> action, std::function<bool()> effect) {
	for (int attempt = 0; attempt < 3; attempt++) {
		action();
		co_await eventually(app, effect, 3s);
		if (effect()) co_return true;
	}
	ADD_FAILURE() << "the user's action had no effect";
	co_return false;
}

WebKitWebView* view_of(const BrowserWindow& browser) {
	return WEBKIT_WEB_VIEW(gtk_bin_get_child(GTK_BIN(bw_WindowGtk_getHandle(browser.window().impl().inner()))));
}

std::string read_file(const std::filesystem::path& path) {
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(WebKitGtkCapabilities, TheNavigationPolicyDecidesTopLevelNavigationsAndNewWindowsButNotFrames) {
	TestSite site;
	auto block = [](int left) {
		return "style='position:absolute;top:0;left:" + std::to_string(left) + "px;width:100px;height:100px;display:block'";
	};
	site.add("/", TestSite::html("<title>home</title><body style='margin:0'><a id='away' href='" + site.other_origin("/away") + "' " + block(0) +
	                       ">away</a><a href='" + site.other_origin("/popup") + "' target='_blank' " + block(120) + ">popup</a><button onclick=\"window.open('" +
	                       site.other_origin("/opened") + "')\" " + block(240) + ">open</button><iframe style='position:absolute;top:150px' src='" +
	                       site.other_origin("/frame") + "'></iframe></body>"));
	site.add("/frame", TestSite::html("<script>location.href = '/frame-moved'</script>"));
	site.add("/frame-moved", TestSite::html("<p>moved</p>"));
	for (const char* path : {"/away", "/popup", "/opened"}) site.add(path, TestSite::html(std::string("<title>") + (path + 1) + "</title>"));

	auto asked = std::make_shared<std::vector<NavigationRequest>>();
	auto policy = [asked](BrowserWindowHandle, const NavigationRequest& request) {
		asked->push_back(request);
		bool denied = request.url.find("/away") != std::string::npos || request.url.find("/popup") != std::string::npos;
		return denied ? NavigationDecision::Deny : NavigationDecision::Allow;
	};
	auto asked_for = [asked](const std::string& url) {
		for (const NavigationRequest& request : *asked)
			if (request.url == url) return &request;
		return static_cast<const NavigationRequest*>(nullptr);
	};
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, [&](BrowserWindowBuilder& builder) { builder.navigation_policy(policy); });
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		EXPECT_TRUE(co_await eventually(app, [&] { return site.requests("/frame-moved") == 1; }, 10s));
		EXPECT_TRUE(co_await page_says(app, *browser, "document.readyState", "String(\"complete\")"));
		// The source was asked about; the frame's navigations were not.
		EXPECT_EQ(asked->size(), 1u);
		if (!asked->empty()) {
			EXPECT_EQ(asked->front().url, site.url("/"));
			EXPECT_FALSE(asked->front().new_window);
			EXPECT_FALSE(asked->front().user_initiated);
		}

		XUser user;
		unsigned long window = x_window_of((*browser)->window().impl().inner());
		EXPECT_TRUE(co_await act_until(app, [&] { user.click(window, 50, 50); }, [&] { return asked_for(site.other_origin("/away")) != nullptr; }));
		EXPECT_TRUE(co_await act_until(app, [&] { user.click(window, 170, 50); }, [&] { return asked_for(site.other_origin("/popup")) != nullptr; }));
		(*browser)->navigate(site.other_origin("/away?program"));
		EXPECT_TRUE(co_await eventually(app, [&] { return asked_for(site.other_origin("/away?program")) != nullptr; }, 10s));
		// Denied, each time the page stayed.
		co_await app.sleep(300ms);
		EXPECT_EQ((*browser)->url(), site.url("/"));
		EXPECT_TRUE(co_await page_says(app, *browser, "document.title", "String(\"home\")"));
		if (const NavigationRequest* link = asked_for(site.other_origin("/away"))) {
			EXPECT_FALSE(link->new_window);
			EXPECT_TRUE(link->user_initiated);
		}
		if (const NavigationRequest* popup = asked_for(site.other_origin("/popup"))) {
			EXPECT_TRUE(popup->new_window);
			EXPECT_TRUE(popup->user_initiated);
		}
		EXPECT_FALSE(asked_for(site.other_origin("/away?program"))->user_initiated);

		// Allowed, window.open loads here, asked about once.
		EXPECT_TRUE(co_await act_until(app, [&] { user.click(window, 290, 50); }, [&] { return asked_for(site.other_origin("/opened")) != nullptr; }));
		EXPECT_TRUE(co_await page_says(app, *browser, "document.title", "String(\"opened\")"));
		EXPECT_EQ((*browser)->url(), site.other_origin("/opened"));
		EXPECT_TRUE(asked_for(site.other_origin("/opened"))->new_window);
		EXPECT_EQ(std::count_if(asked->begin(), asked->end(), [&](const NavigationRequest& r) { return r.url == site.other_origin("/opened"); }), 1);
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(site.requests("/popup"), 0);
}

// With home origins, nothing of the top frame's leaves for another site: a form's post, a link to
// a port nobody serves and a redirect away are stopped before their request and only asked about,
// with whether the user started them; frames of other origins still load.
TEST(WebKitGtkCapabilities, HomeOriginsKeepEveryRequestOfTheTopFrameHome) {
	TestSite site;
	testing::SilentPort unserved;
	site.add("/", TestSite::html("<title>home</title><body style='margin:0'><form method='post' action='" + site.other_origin("/transfer") +
	                             "'><input name='amount' value='100'><button id='send' style='position:absolute;top:0;left:0;width:100px;height:100px'>"
	                             "send</button></form><a href='" + unserved.url() + "down' style='position:absolute;top:0;left:120px;width:100px;"
	                             "height:100px;display:block'>down</a><iframe style='position:absolute;top:150px' src='" + site.other_origin("/frame") +
	                             "'></iframe></body>"));
	site.add("/frame", TestSite::html("<p>frame</p>"));
	site.add("/leave", TestSite::redirect(site.other_origin("/landed")));
	auto asked = std::make_shared<std::vector<NavigationRequest>>();
	auto asked_for = [asked](const std::string& url) {
		for (const NavigationRequest& request : *asked)
			if (request.url == url) return &request;
		return static_cast<const NavigationRequest*>(nullptr);
	};
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		auto keep_home = [&](BrowserWindowBuilder& builder) {
			builder.navigation_policy(
			    [asked](BrowserWindowHandle, const NavigationRequest& request) {
				    asked->push_back(request);
				    return NavigationDecision::Allow;
			    },
			    {origin_of(site.url())});
		};
		BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, keep_home);
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		EXPECT_TRUE(co_await eventually(app, [&] { return site.requests("/frame") == 1; }, 10s));
		XUser user;
		unsigned long window = x_window_of((*browser)->window().impl().inner());
		EXPECT_TRUE(co_await act_until(app, [&] { user.click(window, 50, 50); }, [&] { return asked_for(site.other_origin("/transfer")) != nullptr; }));
		EXPECT_TRUE(co_await act_until(app, [&] { user.click(window, 170, 50); }, [&] { return asked_for(unserved.url() + "down") != nullptr; }));
		(*browser)->navigate(site.url("/leave"));
		EXPECT_TRUE(co_await eventually(app, [&] { return asked_for(site.other_origin("/landed")) != nullptr; }, 10s)) << [&] {
			std::string urls;
			for (const NavigationRequest& request : *asked) urls += request.url + " ";
			return urls;
		}();
		co_await app.sleep(300ms);
		EXPECT_TRUE(co_await page_says(app, *browser, "document.title", "String(\"home\")"));
		for (const char* user_started : {"/transfer", "down"}) {
			auto found = std::find_if(asked->begin(), asked->end(), [&](const NavigationRequest& r) { return r.url.find(user_started) != std::string::npos; });
			EXPECT_TRUE(found != asked->end() && found->user_initiated) << user_started;
		}
		EXPECT_FALSE(asked_for(site.other_origin("/landed"))->user_initiated);
		close_by_user(browser);
		// The next window with the same home takes the rules the first one compiled from the store.
		asked->clear();
		BrowserWindowFuture next = open(app, Source::Url{site.url("/")}, keep_home);
		std::optional<BrowserWindow> second = co_await std::move(next);
		(*second)->navigate(site.url("/leave"));
		EXPECT_TRUE(co_await eventually(app, [&] { return asked_for(site.other_origin("/landed")) != nullptr; }, 10s));
		close_by_user(second);
	}),
	          0);
	EXPECT_EQ(site.requests("/transfer"), 0);
	EXPECT_EQ(site.requests("/landed"), 0);
	EXPECT_EQ(site.requests("/leave"), 2);
}

// Nothing reaches the server while the program holds the first navigation, even with the page's
// process started meanwhile; the window comes once the navigation the program let go has ended, to
// the source or to the address the gate was opened with.
TEST(WebKitGtkCapabilities, AHeldFirstNavigationWaitsForTheProgramAndGoesWhereItSays) {
	TestSite site;
	site.add("/", TestSite::html("<title>source</title>"));
	site.add("/instead", TestSite::html("<title>instead</title>"));
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		for (const std::string& opened_with : {std::string(), site.url("/instead")}) {
			auto gate = std::make_shared<FirstNavigationGate>();
			auto arrived = std::make_shared<bool>(false);
			BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, [&](BrowserWindowBuilder& builder) {
				builder.hold_first_navigation(gate).first_navigation_within(10s);
			});
			app.spawn([](BrowserWindowFuture opening, std::shared_ptr<bool> arrived) -> Task<> {
				std::optional<BrowserWindow> browser = co_await std::move(opening);
				*arrived = true;
				close_by_user(browser);
			}(std::move(opening), arrived));
			co_await app.sleep(1500ms);
			EXPECT_FALSE(*arrived);
			EXPECT_EQ(site.requests("/"), opened_with.empty() ? 0 : 1);
			gate->open(opened_with);
			EXPECT_TRUE(co_await eventually(app, [&] { return *arrived; }, 10s));
		}
		EXPECT_EQ(site.requests("/"), 1);
		EXPECT_EQ(site.requests("/instead"), 1);
	}),
	          0);
}

TEST(WebKitGtkCapabilities, MessagesCarryTheAddressOfTheDocumentThatSentThem) {
	TestSite site;
	site.add("/", TestSite::html("<iframe src='" + site.other_origin("/talker") + "'></iframe>"));
	site.add("/talker", TestSite::html("<script>addEventListener('message', function () { invoke_extern('from-frame', 2) })</script>"));
	auto received = std::make_shared<std::vector<MessageEventArgs>>();
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Url{site.url("/")});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		browser->on_message().register_handler([received](BrowserWindowHandle, MessageEventArgs args) { received->push_back(std::move(args)); });
		// The page's own world has nothing to post to the program with but the bridge.
		EXPECT_TRUE(co_await page_says(app, *browser, "!(window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.bw)",
		                               "Boolean(true)"));
		(*browser)->exec_js("invoke_extern('from-top', 1)");
		EXPECT_TRUE(co_await eventually(app, [&] { return received->size() == 1; }, 10s));
		(*browser)->exec_js("frames[0].postMessage('talk', '*')");
		EXPECT_TRUE(co_await eventually(app, [&] { return received->size() == 2; }, 10s));
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(site.requests("/talker"), 1);
	ASSERT_EQ(received->size(), 2u);
	EXPECT_EQ((*received)[0].cmd, "from-top");
	EXPECT_EQ((*received)[0].source, site.url("/"));
	EXPECT_EQ((*received)[0].origin, site.url(""));
	EXPECT_EQ((*received)[1].cmd, "from-frame");
	EXPECT_EQ((*received)[1].source, site.other_origin("/talker"));
	EXPECT_EQ((*received)[1].origin, site.other_origin(""));
}

TEST(WebKitGtkCapabilities, DownloadsGoWhereTheProgramSaysAndReportTheirOutcomeOnce) {
	TestSite site;
	site.add("/", TestSite::html("<title>downloads</title>"));
	auto attachment = [](const std::string& name) {
		return TestSite::Page{"text/csv", "name,count\nrooms,3\n", "Content-Disposition: attachment; filename=\"" + name + "\"\r\n"};
	};
	site.add("/report.csv", attachment("report.csv"));
	site.add("/declined.csv", attachment("declined.csv"));
	site.add("/taken.csv", attachment("taken.csv"));
	site.add("/blob", {"application/x-tarnwick-unknown", "0123456789", ""});
	std::filesystem::path folder = std::filesystem::temp_directory_path() / "downloads-here";
	std::filesystem::create_directories(folder);
	std::ofstream(folder / "taken.csv") << "kept";

	auto asked = std::make_shared<std::vector<DownloadRequest>>();
	auto outcomes = std::make_shared<std::vector<DownloadOutcome>>();
	auto destination = [asked, folder](BrowserWindowHandle, const DownloadRequest& request) -> std::optional<std::filesystem::path> {
		asked->push_back(request);
		if (request.suggested_name == "declined.csv") return std::nullopt;
		return folder / (request.suggested_name.empty() ? "unnamed" : request.suggested_name);
	};
	auto finished = [outcomes](BrowserWindowHandle, const DownloadOutcome& outcome) { outcomes->push_back(outcome); };
	TestApplication app;
	EXPECT_EQ(app.run_main(
	              [&](ApplicationHandle app) -> Task<> {
		              BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, [&](BrowserWindowBuilder& builder) { builder.downloads(destination, finished); });
		              std::optional<BrowserWindow> browser = co_await std::move(opening);
		              // The page starts each; the next once the program heard of the last.
		              for (const char* path : {"/report.csv", "/blob", "/declined.csv", "/taken.csv"}) {
			              std::size_t before = asked->size();
			              (*browser)->exec_js(std::string("location.href = '") + path + "'");
			              EXPECT_TRUE(co_await eventually(app, [&] { return asked->size() == before + 1; }, 10s)) << path;
		              }
		              EXPECT_TRUE(co_await eventually(app, [&] { return outcomes->size() == 3; }, 10s));
		              co_await app.sleep(300ms);
		              EXPECT_TRUE(co_await page_says(app, *browser, "document.title", "String(\"downloads\")"));
		              close_by_user(browser);
	              },
	              60s),
	          0);
	ASSERT_EQ(asked->size(), 4u);
	EXPECT_EQ((*asked)[0].url, site.url("/report.csv"));
	EXPECT_EQ((*asked)[0].suggested_name, "report.csv");
	EXPECT_EQ((*asked)[0].mime_type, "text/csv");
	// The program's own script started each (which WebKitGTK runs as a user's action), in the top frame.
	EXPECT_FALSE((*asked)[0].from_frame);
	// What the view cannot show became a download too.
	EXPECT_EQ((*asked)[1].url, site.url("/blob"));
	EXPECT_EQ((*asked)[1].mime_type, "application/x-tarnwick-unknown");

	ASSERT_EQ(outcomes->size(), 3u);
	std::map<std::string, DownloadOutcome> by_url;
	for (const DownloadOutcome& outcome : *outcomes) by_url[outcome.url] = outcome;
	EXPECT_TRUE(by_url[site.url("/report.csv")].succeeded);
	EXPECT_EQ(by_url[site.url("/report.csv")].path, folder / "report.csv");
	EXPECT_EQ(read_file(folder / "report.csv"), "name,count\nrooms,3\n");
	EXPECT_TRUE(by_url[site.url("/blob")].succeeded);
	EXPECT_EQ(read_file(by_url[site.url("/blob")].path), "0123456789");
	// A file already there is kept, and the download fails saying why.
	EXPECT_FALSE(by_url[site.url("/taken.csv")].succeeded);
	EXPECT_FALSE(by_url[site.url("/taken.csv")].error.empty());
	EXPECT_EQ(read_file(folder / "taken.csv"), "kept");
	// The declined one went nowhere, not even to the engine's default folder.
	EXPECT_EQ(by_url.count(site.url("/declined.csv")), 0u);
	for (const char* place : {g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD), g_get_home_dir()})
		if (place != nullptr) {
			EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(place) / "declined.csv")) << place;
		}
	EXPECT_FALSE(std::filesystem::exists(folder / "declined.csv"));
}

TEST(WebKitGtkCapabilities, AStuckOrEndedPageIsReportedAndReloadBringsItBack) {
	TestSite site;
	site.add("/", TestSite::html("<title>alive</title>"));
	auto failures = std::make_shared<std::vector<ProcessFailure>>();
	TestApplication app;
	EXPECT_EQ(app.run_main(
	              [&](ApplicationHandle app) -> Task<> {
		              BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, [&](BrowserWindowBuilder& builder) {
			              builder.on_process_failed([failures](BrowserWindowHandle, const ProcessFailure& failure) { failures->push_back(failure); });
		              });
		              std::optional<BrowserWindow> browser = co_await std::move(opening);
		              (*browser)->window().show();
		              (*browser)->exec_js("setTimeout(function () { for (;;) {} }, 0)");
		              // The engine notices a page that does not answer when a key the user pressed goes unanswered.
		              XUser user;
		              unsigned long window = x_window_of((*browser)->window().impl().inner());
		              const std::vector<unsigned long> key{XK_a};
		              EXPECT_TRUE(co_await act_until(app, [&] { user.press(window, key); }, [&] { return !failures->empty(); }));
		              if (!failures->empty()) {
			              EXPECT_EQ(failures->front().kind, ProcessFailure::Kind::PageUnresponsive);
		              }

		              webkit_web_view_terminate_web_process(view_of(*browser));
		              EXPECT_TRUE(co_await eventually(app, [&] { return !failures->empty() && failures->back().kind == ProcessFailure::Kind::PageEnded; }, 10s));
		              EXPECT_NE(failures->back().reason.find("terminated"), std::string::npos) << failures->back().reason;
		              (*browser)->reload();
		              EXPECT_TRUE(co_await page_says(app, *browser, "document.title", "String(\"alive\")", 20s));
		              close_by_user(browser);
	              },
	              90s),
	          0);
	EXPECT_EQ(site.requests("/"), 2);
}

// A user's step: keys pressed together, or a notch of the wheel with Ctrl held (up 1, down -1).
struct UserStep {
	std::vector<unsigned long> keys;
	int wheel = 0;
};

TEST(WebKitGtkCapabilities, BrowserKeysReloadAndZoomWithoutThePageSeeingThem) {
	TestSite site;
	site.add("/", TestSite::html("<title>keys</title><script>var keys = 0; addEventListener('keydown', function (e) {"
	                             " if (['Control', 'Shift'].indexOf(e.key) < 0) keys++; })</script>"));
	const std::vector<UserStep> reloads = {{{XK_F5}}, {{XK_Control_L, XK_r}}};
	const std::vector<std::pair<UserStep, double>> zooms = {
	    {{{XK_Control_L, XK_equal}}, 1.5},  {{{XK_Control_L, XK_Shift_L, XK_equal}}, 1.75}, {{{XK_Control_L, XK_KP_Add}}, 2.0},
	    {{{XK_Control_L, XK_minus}}, 1.75}, {{{XK_Control_L, XK_0}}, 1.0},                   {{{}, 1}, 1.1},
	    {{{}, -1}, 1.0},
	};
	const UserStep other_key{{XK_a}};
	auto changes = std::make_shared<std::vector<double>>();
	TestApplication app;
	EXPECT_EQ(app.run_main(
	              [&](ApplicationHandle app) -> Task<> {
		              BrowserWindowFuture opening = open(app, Source::Url{site.url("/")}, [&](BrowserWindowBuilder& builder) {
			              builder.browser_keys(true).zoom(1.25, [changes](BrowserWindowHandle, double factor) { changes->push_back(factor); });
		              });
		              std::optional<BrowserWindow> browser = co_await std::move(opening);
		              (*browser)->window().show();
		              EXPECT_DOUBLE_EQ((*browser)->zoom(), 1.25);
		              XUser user;
		              unsigned long window = x_window_of((*browser)->window().impl().inner());
		              auto act = [&user, window](const UserStep& step) {
			              return [&user, window, &step] {
				              if (step.wheel != 0)
					              user.ctrl_wheel(window, step.wheel > 0);
				              else
					              user.press(window, step.keys);
			              };
		              };
		              int loads = 1;
		              for (const UserStep& step : reloads) {
			              loads++;
			              EXPECT_TRUE(co_await act_until(app, act(step), [&] { return site.requests("/") == loads; }));
		              }
		              EXPECT_TRUE(co_await page_says(app, *browser, "document.readyState", "String(\"complete\")"));
		              for (const auto& step : zooms) {
			              double expected = step.second;
			              EXPECT_TRUE(co_await act_until(app, act(step.first), [&] { return !changes->empty() && changes->back() == expected; })) << expected;
			              EXPECT_DOUBLE_EQ((*browser)->zoom(), expected);
		              }
		              // Other keys still reach the page, which saw none of the browser's.
		              act(other_key)();
		              EXPECT_TRUE(co_await page_says(app, *browser, "keys", "Number(1)"));

		              (*browser)->set_zoom(9);
		              EXPECT_DOUBLE_EQ((*browser)->zoom(), 5.0);
		              (*browser)->set_zoom(0.1);
		              EXPECT_DOUBLE_EQ((*browser)->zoom(), 0.25);
		              close_by_user(browser);
	              },
	              90s),
	          0);
	EXPECT_EQ(*changes, (std::vector<double>{1.5, 1.75, 2.0, 1.75, 1.0, 1.1, 1.0}));
}

TEST(WebKitGtkCapabilities, AHangingFirstNavigationIsEndedAndFailedLoadsShowNoErrorPage) {
	testing::SilentPort silent;
	unsigned short closed_port = 0;
	{
		testing::SilentPort gone;
		closed_port = static_cast<unsigned short>(std::stoi(gone.url().substr(std::string("http://127.0.0.1:").size())));
	}
	const std::string unreachable = "http://127.0.0.1:" + std::to_string(closed_port) + "/";
	const std::string body = "document.body ? document.body.innerText : ''";
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		auto started = std::chrono::steady_clock::now();
		BrowserWindowFuture opening = open(app, Source::Url{silent.url()}, [](BrowserWindowBuilder& builder) {
			builder.first_navigation_within(500ms).engine_error_pages(false);
		});
		std::optional<BrowserWindow> hanging = co_await std::move(opening);
		EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
		EXPECT_FALSE((*hanging)->source_loaded());
		EXPECT_TRUE(co_await page_says(app, *hanging, body, "String(\"\")"));

		// A page that stays when the next navigation fails, beside one that shows the engine's error page.
		BrowserWindowFuture opening_kept = open(app, Source::Html{"<title>kept</title><p>kept</p>"}, [](BrowserWindowBuilder& builder) {
			builder.engine_error_pages(false);
		});
		std::optional<BrowserWindow> kept = co_await std::move(opening_kept);
		BrowserWindowFuture opening_shown = open(app, Source::Html{"<p>shown</p>"});
		std::optional<BrowserWindow> shown = co_await std::move(opening_shown);
		(*kept)->navigate(unreachable);
		(*shown)->navigate(unreachable);
		bool error_page = false;
		for (int i = 0; i < 200 && !error_page; i++) {
			JsEvalResult text = co_await (*shown)->eval_js(body);
			error_page = eval_text(text) != "String(\"shown\")" && eval_text(text) != "String(\"\")" && eval_text(text).rfind("error", 0) != 0;
			if (!error_page) co_await app.sleep(50ms);
		}
		EXPECT_TRUE(error_page);
		co_await app.sleep(300ms);
		EXPECT_TRUE(co_await page_says(app, *kept, "document.title + document.body.innerText", "String(\"keptkept\")"));
		close_by_user(hanging);
		close_by_user(kept);
		close_by_user(shown);
	}),
	          0);
}

TEST(WebKitGtkCapabilities, TheBackgroundShowsUnderTheFirstPageAndFollowsTheDesktop) {
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Html{"<p></p>"}, [](BrowserWindowBuilder& builder) { builder.background({0x20, 0x40, 0x60}); });
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		bw_Window* native = (*browser)->window().impl().inner();
		EXPECT_TRUE(co_await eventually(app, [&] { return testing::share_of_colour(native, 0x20, 0x40, 0x60) > 0.8; }, 10s));

		// No desktop session here: GTK's own preference decides, without waiting for a bus.
		auto started = std::chrono::steady_clock::now();
		EXPECT_FALSE(desktop_prefers_dark());
		EXPECT_EQ(desktop_background(), (BackgroundColor{0xff, 0xff, 0xff}));
		setenv("GTK_THEME", "Adwaita:dark", 1);
		EXPECT_TRUE(desktop_prefers_dark());
		EXPECT_EQ(desktop_background(), (BackgroundColor{0x1e, 0x1e, 0x1e}));
		unsetenv("GTK_THEME");
		EXPECT_LT(std::chrono::steady_clock::now() - started, 500ms);
		close_by_user(browser);
	}),
	          0);
}

// The desktop's settings portal on a bus of the test's own says dark, then light, then dark again.
TEST(WebKitGtkCapabilities, AFollowingPageAndItsBackgroundFollowTheDesktopsColourSchemeLive) {
	tarnwick::testing::SessionBus bus;
	ASSERT_FALSE(bus.address().empty()) << bus.error();
	tarnwick::testing::SettingsPortal portal(1);
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		// As a program builds it: the background the desktop's, and following it; the portal is read once.
		BrowserWindowFuture opening = open(app, Source::Html{"<p></p>"}, [](BrowserWindowBuilder& builder) {
			builder.background(desktop_background());
			builder.follow_desktop_theme(true);
		});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		bw_Window* native = (*browser)->window().impl().inner();
		const char* dark = "matchMedia('(prefers-color-scheme: dark)').matches";
		EXPECT_TRUE(co_await page_says(app, *browser, dark, "Boolean(true)"));
		EXPECT_EQ(portal.reads(), 1);
		EXPECT_TRUE(co_await eventually(app, [&] { return testing::share_of_colour(native, 0x1e, 0x1e, 0x1e) > 0.8; }, 10s));
		portal.set(2);
		EXPECT_TRUE(co_await page_says(app, *browser, dark, "Boolean(false)"));
		EXPECT_TRUE(co_await eventually(app, [&] { return testing::share_of_colour(native, 0xff, 0xff, 0xff) > 0.8; }, 10s));
		portal.set(1);
		EXPECT_TRUE(co_await page_says(app, *browser, dark, "Boolean(true)"));
		close_by_user(browser);
	}),
	          0);
}

// The dictionaries are loaded for a page that is typed into, not for every page.
TEST(WebKitGtkCapabilities, SpellCheckingStartsWhenATextFieldFirstTakesTheFocus) {
	TestApplication app;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening =
		    open(app, Source::Html{"<button>press</button><input id=field>"}, [](BrowserWindowBuilder& builder) { builder.user_languages(true); });
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		WebKitWebContext* context = webkit_web_view_get_context(view_of(*browser));
		EXPECT_TRUE(co_await page_says(app, *browser, "document.readyState", "String(\"complete\")"));
		(*browser)->exec_js("document.querySelector('button').focus()");
		// Longer than the page had to wait for it before.
		co_await app.sleep(3s);
		EXPECT_FALSE(webkit_web_context_get_spell_checking_enabled(context));
		(*browser)->exec_js("document.getElementById('field').focus()");
		EXPECT_TRUE(co_await eventually(app, [&] { return webkit_web_context_get_spell_checking_enabled(context) != FALSE; }, 10s));
		close_by_user(browser);
	}),
	          0);
}

// The widget of the window (internal children too) with this accessible name.
GtkWidget* named_widget(GtkWidget* widget, const char* name) {
	AtkObject* accessible = gtk_widget_get_accessible(widget);
	if (const char* own = atk_object_get_name(accessible); own != nullptr && std::string_view(own) == name) return widget;
	if (!GTK_IS_CONTAINER(widget)) return nullptr;
	GtkWidget* found = nullptr;
	std::pair<const char*, GtkWidget**> search{name, &found};
	gtk_container_forall(GTK_CONTAINER(widget), [](GtkWidget* child, gpointer data) {
		auto* wanted = static_cast<std::pair<const char*, GtkWidget**>*>(data);
		if (*wanted->second == nullptr) *wanted->second = named_widget(child, wanted->first);
	}, &search);
	return found;
}

// The print dialog open now, if any.
GtkWidget* print_dialog() {
	GtkWidget* found = nullptr;
	GList* windows = gtk_window_list_toplevels();
	for (GList* window = windows; window != nullptr; window = window->next)
		if (std::string_view(G_OBJECT_TYPE_NAME(window->data)) == "GtkPrintUnixDialog" && gtk_widget_get_visible(GTK_WIDGET(window->data))) found = GTK_WIDGET(window->data);
	g_list_free(windows);
	return found;
}

TEST(WebKitGtkCapabilities, FindsWithKeysInABarAboveThePageAndPrintsOnCtrlPAndWindowPrint) {
	TestApplication app;
	EXPECT_EQ(app.run_main(
	              [&](ApplicationHandle app) -> Task<> {
		              BrowserWindowFuture opening = open(app, Source::Html{"<p>Apple pear apple plum APPLE</p>"},
		                                                 [](BrowserWindowBuilder& builder) { builder.find_and_print(true); });
		              std::optional<BrowserWindow> browser = co_await std::move(opening);
		              (*browser)->window().show();
		              GtkWidget* window = GTK_WIDGET(bw_WindowGtk_getHandle((*browser)->window().impl().inner()));
		              XUser user;
		              unsigned long x = x_window_of((*browser)->window().impl().inner());
		              // The bar is made when it first opens.
		              EXPECT_EQ(named_widget(window, "Find in page"), nullptr);
		              GtkWidget* entry = nullptr;
		              EXPECT_TRUE(co_await act_until(app, [&] { user.press(x, {XK_Control_L, XK_f}); }, [&] {
			              entry = named_widget(window, "Find in page");
			              return entry != nullptr && gtk_widget_has_focus(entry);
		              }));
		              GtkWidget* count = named_widget(window, "Matches");
		              bool complete = entry != nullptr && GTK_IS_SEARCH_ENTRY(entry) && count != nullptr && named_widget(window, "Next match") != nullptr &&
		                              named_widget(window, "Previous match") != nullptr && named_widget(window, "Close the find bar") != nullptr;
		              EXPECT_TRUE(complete);
		              if (!complete) co_return;
		              auto counted = [count] { return std::string(gtk_label_get_text(GTK_LABEL(count))); };
		              EXPECT_TRUE(co_await act_until(
		                  app,
		                  [&] {
			                  gtk_editable_delete_text(GTK_EDITABLE(entry), 0, -1);
			                  for (unsigned long key : {XK_a, XK_p, XK_p, XK_l, XK_e}) user.press(x, {key});
		                  },
		                  [&] { return counted() == "1 of 3"; }));
		              const std::vector<std::pair<std::vector<unsigned long>, std::string>> steps = {
		                  {{XK_Return}, "2 of 3"}, {{XK_Shift_L, XK_Return}, "1 of 3"}, {{XK_F3}, "2 of 3"},
		                  {{XK_Control_L, XK_g}, "3 of 3"}, {{XK_F3}, "1 of 3"}, {{XK_Shift_L, XK_F3}, "3 of 3"}};
		              for (const auto& [keys, expected] : steps) {
			              user.press(x, keys);
			              EXPECT_TRUE(co_await eventually(app, [&] { return counted() == expected; }, 5s)) << expected << " " << counted();
		              }
		              user.press(x, {XK_x});
		              EXPECT_TRUE(co_await eventually(app, [&] { return gtk_style_context_has_class(gtk_widget_get_style_context(entry), "error"); }, 5s));
		              user.press(x, {XK_Escape});
		              GtkWidget* revealer = gtk_widget_get_parent(gtk_widget_get_parent(entry));
		              EXPECT_TRUE(co_await eventually(app, [&] { return !gtk_revealer_get_reveal_child(GTK_REVEALER(revealer)); }, 5s));
		              EXPECT_TRUE(WEBKIT_IS_WEB_VIEW(gtk_window_get_focus(GTK_WINDOW(window))));

		              // The dialog runs in a loop of its own, in which this task goes on.
		              EXPECT_TRUE(co_await act_until(app, [&] { user.press(x, {XK_Control_L, XK_p}); }, [] { return print_dialog() != nullptr; }));
		              if (GtkWidget* dialog = print_dialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
		              EXPECT_TRUE(co_await eventually(app, [] { return print_dialog() == nullptr; }, 5s));
		              (*browser)->exec_js("window.print()");
		              EXPECT_TRUE(co_await eventually(app, [] { return print_dialog() != nullptr; }, 10s));
		              if (GtkWidget* dialog = print_dialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
		              EXPECT_TRUE(co_await eventually(app, [] { return print_dialog() == nullptr; }, 5s));

		              // The same from the program: print() (later, as the dialog's loop holds its caller) and find().
		              app.dispatch([handle = browser->handle()] { handle.print(); });
		              EXPECT_TRUE(co_await eventually(app, [] { return print_dialog() != nullptr; }, 10s));
		              if (GtkWidget* dialog = print_dialog()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
		              EXPECT_TRUE(co_await eventually(app, [] { return print_dialog() == nullptr; }, 5s));
		              EXPECT_TRUE((*browser)->find("PEAR"));
		              EXPECT_TRUE(co_await eventually(app, [&] { return counted() == "1 of 1" && gtk_revealer_get_reveal_child(GTK_REVEALER(revealer)); }, 5s));
		              close_by_user(browser);
	              },
	              90s),
	          0);
}

} // namespace
} // namespace bw
