// The WebKitGTK binding with the real engine: pages render, scripts return their values, pages
// served over HTTP reach the program through invoke_extern, the view follows the window, and the
// cookies a server sets are in the jar.
#include "browser/builder/browser_window_builder.hpp"
#include "engine_test_support.hpp"
#include "page_server.hpp"
#include "support/test_application.hpp"
#include "support/user_actions.hpp"

#include <bw/window_gtk.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::close_by_user;
using testing::eval_text;
using testing::eventually;
using testing::open;
using testing::share_of_colour;
using testing::PageServer;
using testing::TestApplication;

TEST(WebKitGtkEngine, AnHtmlPageRendersAndTheViewFollowsTheWindow) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Html{"<html><body style='margin:0;background:#e01010'><h1>Tarnwick</h1></body></html>"});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		BrowserWindow& window = *browser;
		window.window().show();
		bw_Window* native = window.window().impl().inner();
		EXPECT_TRUE(co_await eventually(app, [&] { return share_of_colour(native, 0xe0, 0x10, 0x10) > 0.8; }, 10s));

		GtkWidget* view = gtk_bin_get_child(GTK_BIN(bw_WindowGtk_getHandle(native)));
		window.window().set_content_dimensions({640, 480});
		EXPECT_TRUE(co_await eventually(app, [&] {
			return gtk_widget_get_allocated_width(view) == 640 && gtk_widget_get_allocated_height(view) == 480;
		}));
		close_by_user(browser);
	}),
	          0);
}

TEST(WebKitGtkEngine, ScriptsReturnEachKindOfValueAndThrowingOnesComplete) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Html{"<p>scripts</p>"});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		const std::pair<const char*, const char*> cases[] = {
		    {"1.5 * 2", "Number(3)"},
		    {"'t\\u00e4xt'", "String(\"t\xC3\xA4xt\")"},
		    {"true", "Boolean(true)"},
		    {"null", "Null"},
		    {"undefined", "Undefined"},
		    {"[1, 'a', [null]]", "Array([Number(1), String(\"a\"), Array([Null])])"},
		    {"({k: 0.1})", "Object({\"k\": Number(0.1)})"},
		};
		for (const auto& [script, expected] : cases) {
			JsEvalResult result = co_await (*browser)->eval_js(script);
			EXPECT_EQ(eval_text(result), expected) << script;
		}
		JsEvalResult thrown = co_await (*browser)->eval_js("throw new Error('boom')");
		EXPECT_NE(eval_text(thrown).find("error: "), std::string::npos);
		EXPECT_NE(eval_text(thrown).find("boom"), std::string::npos);
		close_by_user(browser);
	}),
	          0);
}

TEST(WebKitGtkEngine, PagesOverHttpReachTheProgramAfterNavigatingAndKeepTheServersCookies) {
	PageServer server;
	TestApplication app;
	std::vector<std::string> messages;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Url{server.url("/")});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		(*browser)->window().show();
		EXPECT_EQ((*browser)->url(), server.url("/"));
		browser->on_message().register_handler([&](BrowserWindowHandle handle, MessageEventArgs args) {
			std::string line = args.cmd;
			for (const JsValue& arg : args.args) line += "|" + arg.to_string();
			messages.push_back(line);
			// The program answers into the page.
			handle.exec_js("document.title = 'answered " + args.cmd + "'");
		});

		// The page itself moves on: the bridge is defined in the new document as well.
		(*browser)->exec_js("location.href = '/set-cookie'");
		const std::string second_page = server.url("/set-cookie");
		EXPECT_TRUE(co_await eventually(app, [&] { return (*browser)->url() == second_page; }, 10s));
		bool second_page_ready = false;
		for (int i = 0; i < 100 && !second_page_ready; i++) {
			JsEvalResult ready = co_await (*browser)->eval_js("document.readyState === 'complete' && typeof invoke_extern === 'function'");
			second_page_ready = eval_text(ready) == "Boolean(true)";
			if (!second_page_ready) co_await app.sleep(50ms);
		}
		EXPECT_TRUE(second_page_ready);
		(*browser)->exec_js("invoke_extern('open', 1, true, \"say \\\"hi\\\"\")");
		EXPECT_TRUE(co_await eventually(app, [&] { return !messages.empty(); }, 10s));
		EXPECT_EQ(messages, (std::vector<std::string>{"open|1|true|\"say \\\"hi\\\"\""}));
		bool answered = false;
		for (int i = 0; i < 100 && !answered; i++) {
			answered = eval_text(co_await (*browser)->eval_js("document.title")) == "String(\"answered open\")";
			if (!answered) co_await app.sleep(50ms);
		}
		EXPECT_TRUE(answered);

		// The cookie the server set is in the engine's jar: found, then deleted through it.
		std::optional<CookieJar> jar = app.cookie_jar();
		EXPECT_TRUE(jar.has_value());
		if (jar) {
			const std::string site = server.url("/");
			const std::string name = "tarnwick_test";
			std::optional<Cookie> cookie = co_await jar->find(site, name, true);
			EXPECT_TRUE(cookie.has_value());
			EXPECT_EQ(cookie ? cookie->value().to_owned() : "", "1");
			std::size_t deleted = co_await jar->delete_(site, name);
			EXPECT_EQ(deleted, 1u);
			std::optional<Cookie> gone = co_await jar->find(site, name, true);
			EXPECT_FALSE(gone.has_value());
		}
		close_by_user(browser);
	}),
	          0);
	EXPECT_NE(server.requests().find("GET /set-cookie"), std::string::npos);
}

TEST(WebKitGtkEngine, NavigateRefusesWhatItCannotLoad) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture opening = open(app, Source::Html{"<p>navigation</p>"});
		std::optional<BrowserWindow> browser = co_await std::move(opening);
		for (std::string_view address : {std::string_view("not a uri"), std::string_view("127.0.0.1:37338"), std::string_view("about:blank\0x", 13)}) {
			Result<std::monostate> refused = (*browser)->navigate(address);
			EXPECT_FALSE(refused.ok()) << address;
		}
		EXPECT_TRUE((*browser)->navigate("about:blank").ok());
		EXPECT_TRUE(co_await eventually(app, [&] { return (*browser)->url() == "about:blank"; }, 10s));
		// The engine's objects released ahead of the window: nothing to navigate with.
		(*browser)->inner().free();
		EXPECT_FALSE((*browser)->navigate("about:blank").ok());
		EXPECT_EQ((*browser)->url(), "");
		close_by_user(browser);
	}),
	          0);
}

// Ends the web process of every view once the page's request has reached the silent server, so
// that the view is past starting its process.
int silent_server = -1;

gboolean end_web_processes_once_asked(gpointer) {
	pollfd asked{silent_server, POLLIN, 0};
	if (poll(&asked, 1, 0) != 1) return G_SOURCE_CONTINUE;
	GList* windows = gtk_window_list_toplevels();
	for (GList* node = windows; node != nullptr; node = node->next)
		if (GtkWidget* child = gtk_bin_get_child(GTK_BIN(node->data)); child != nullptr && WEBKIT_IS_WEB_VIEW(child))
			webkit_web_view_terminate_web_process(WEBKIT_WEB_VIEW(child));
	g_list_free(windows);
	return G_SOURCE_CONTINUE;
}

// A creation that cannot finish ends the process as the other engine does: 101 and the step's text.
TEST(WebKitGtkEngineCreation, FailsWhenTheSourceIsNoAddressOrTheWebProcessDiesFirst) {
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	auto build_only = [](Source source) {
		setenv("BW_NO_ERROR_BOX", "1", 1);
		TestApplication app;
		app.run_main([source](ApplicationHandle app) -> Task<> {
			BrowserWindowFuture opening = open(app, source);
			co_await std::move(opening);
			std::_Exit(0);
		});
		std::_Exit(1);
	};
	EXPECT_EXIT(build_only(Source::Url{"no address"}), ::testing::ExitedWithCode(101), "unable to navigate to source: .*no address");

	// The page never answers, so only the web process's end can stop the first load.
	EXPECT_EXIT(
	    {
		    silent_server = socket(AF_INET, SOCK_STREAM, 0);
		    sockaddr_in address{};
		    address.sin_family = AF_INET;
		    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		    socklen_t length = sizeof address;
		    if (bind(silent_server, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(silent_server, 8) != 0 ||
		        getsockname(silent_server, reinterpret_cast<sockaddr*>(&address), &length) != 0)
			    std::_Exit(2);
		    g_timeout_add(100, end_web_processes_once_asked, nullptr);
		    build_only(Source::Url{"http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/"});
	    },
	    ::testing::ExitedWithCode(101), "web process terminated before the first load finished: it was terminated");
}

} // namespace
} // namespace bw
