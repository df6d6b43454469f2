// With the WebView2 engine there is no cookie access: no jar, and cookies that hold nothing.
#include "application/application.hpp"
#include "cookie/cookie.hpp"
#include "cookie/cookie_jar.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::TestApplication;

TEST(CookieWebView2Test, TheApplicationHasNoCookieJar) {
	TestApplication app;
	EXPECT_FALSE(ApplicationHandle(app.impl()).cookie_jar().has_value());
	EXPECT_FALSE(CookieJar::global().has_value());
}

TEST(CookieWebView2Test, ANewCookieReadsBackEmptyAndIgnoresItsSetters) {
	Cookie cookie("name", "value");
	cookie.set_name("other").set_value("v").set_domain("example.com").set_path("/a");
	cookie.set_creation_time(CookieTime{} + 5s).set_expires(CookieTime{} + 10s).make_http_only().make_secure();
	for (const CookieText& text : {cookie.name(), cookie.value(), cookie.domain(), cookie.path()}) {
		EXPECT_EQ(text, "");
		EXPECT_TRUE(text.is_borrowed());
	}
	EXPECT_EQ(cookie.creation_time(), CookieTime{});
	EXPECT_FALSE(cookie.expires().has_value());
	EXPECT_FALSE(cookie.is_http_only());
	EXPECT_FALSE(cookie.is_secure());
}

} // namespace
} // namespace bw
