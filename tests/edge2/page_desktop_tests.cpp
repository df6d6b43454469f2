// Permissions and page notifications over the stand-in engine, driven from the page's side: the
// policy decides each request and no decision is kept in the profile; a notification reaches the
// program, whose reports reach the page; a runtime without notification events gets them denied.
#include "core/browser_window/edge2/webview2_abi_page_desktop.hpp"
#include "edge2_support.hpp"
#include "standin_control.h"
#include "support/user_actions.hpp"

namespace bw::edge2_test {
namespace {

using testing::eventually;

void close_by_user(const BrowserWindow& browser) {
	browser.window().show();
	testing::user_close(browser.window().impl().inner());
}

class PageDesktop : public Edge2Test {};

TEST_F(PageDesktop, ThePolicyDecidesEachRequestNothingIsKeptAndNotificationsGoToTheProgram) {
	std::vector<std::string> asked;
	std::shared_ptr<PageNotification> received;
	bool page_closed = false;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.permissions([&](BrowserWindowHandle, const PermissionRequest& request) {
				asked.push_back(request.origin + " " + std::string(permission_kind_name(request.kind)) + (request.user_initiated ? " by-user" : ""));
				return request.kind == PermissionKind::Notifications ? PermissionDecision::Allow : PermissionDecision::Deny;
			});
			builder.notifications([&](BrowserWindowHandle, std::shared_ptr<PageNotification> notification) {
				received = std::move(notification);
				received->on_page_closed([&] { page_closed = true; });
				received->shown();
			});
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_TRUE(StandIn_RequestPermission(COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS, nullptr, TRUE));
		EXPECT_TRUE(StandIn_RequestPermission(COREWEBVIEW2_PERMISSION_KIND_CAMERA, L"https://frame.test/", FALSE));
		EXPECT_TRUE(StandIn_RequestPermission(COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS, nullptr, FALSE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("page permission") == 3; }));
		EXPECT_EQ(count_events("page permission notifications for https://example.test/ allowed (not saved)"), 2);
		EXPECT_EQ(count_events("page permission camera for https://frame.test/ denied (not saved)"), 1);

		EXPECT_TRUE(StandIn_ShowNotification(L"Build", L"3 of 4", L"build", TRUE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("page notification event show Build") == 1; }));
		EXPECT_TRUE(received);
		if (!received) co_return;
		const NotificationContent& content = received->content();
		EXPECT_EQ(content.origin + "|" + content.title + "|" + content.body + "|" + content.tag, "https://example.test|Build|3 of 4|build");
		EXPECT_TRUE(content.silent);
		received->clicked();
		EXPECT_EQ(count_events("page notification event click Build"), 1);
		EXPECT_TRUE(StandIn_CloseNotification());
		EXPECT_TRUE(co_await eventually(app, [&] { return page_closed; }));
		// Closed by the page: reports reach nothing.
		received->closed();
		EXPECT_EQ(count_events("page notification event close"), 0);
		EXPECT_EQ(count_events("engine notification shown"), 0);
		close_by_user(browser);
	}),
	          0);
	EXPECT_EQ(asked, (std::vector<std::string>{"https://example.test notifications by-user", "https://frame.test camera",
	                                           "https://example.test notifications"}));
}

TEST_F(PageDesktop, ARuntimeWithoutNotificationEventsHasNotificationsDenied) {
	StandIn_FailStep("QueryInterface.ICoreWebView2_24", E_NOINTERFACE);
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"}, [&](BrowserWindowBuilder& builder) {
			builder.permissions([](BrowserWindowHandle, const PermissionRequest&) { return PermissionDecision::Allow; });
			builder.notifications([](BrowserWindowHandle, std::shared_ptr<PageNotification>) { ADD_FAILURE() << "nothing reaches the program"; });
		});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_TRUE(StandIn_RequestPermission(COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS, nullptr, TRUE));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("page permission notifications for https://example.test/ denied") == 1; }));
		close_by_user(browser);
	}),
	          0);
}

} // namespace
} // namespace bw::edge2_test
