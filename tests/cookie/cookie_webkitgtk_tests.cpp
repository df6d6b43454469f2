// The WebKitGTK cookie jar for real: the default web context's cookie manager, driven through the
// application's message loop under Xvfb.
#include "application/application.hpp"
#include "cookie/cookie.hpp"
#include "cookie/cookie_jar.hpp"
#include "support/test_application.hpp"

#include <bw/cookie.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::TestApplication;

// WebKit keeps website data under the XDG directories: keep it in a temporary one, not the user's.
struct TemporaryDataHome {
	TemporaryDataHome() {
		char pattern[] = "/tmp/bw-cookie-tests-XXXXXX";
		if (mkdtemp(pattern) == nullptr) return;
		root = pattern;
		for (const char* variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
			setenv(variable, (root / variable).c_str(), 1);
	}
	~TemporaryDataHome() {
		std::error_code ignored;
		if (!root.empty()) std::filesystem::remove_all(root, ignored);
	}
	std::filesystem::path root;
} data_home;

Task<> run_then_exit(ApplicationHandle app, Task<> task) {
	co_await std::move(task);
	app.exit(0);
}

// Runs the task on a running application loop, which ends with it.
template <class Body>
void run_task(Body body) {
	TestApplication app;
	int exit_code = app.run([&](bw_Application* raw) {
		ApplicationHandle handle{ApplicationImpl(raw)};
		handle.spawn(run_then_exit(handle, body(handle)));
	});
	EXPECT_EQ(exit_code, 0) << "the task did not end in time";
}

Task<std::vector<std::string>> names_in_domain(const CookieJar& jar, std::string domain) {
	std::vector<std::string> names;
	CookieIterator cookies = jar.iter_all();
	while (std::optional<Cookie> cookie = co_await cookies.next())
		if (cookie->domain() == domain) names.push_back(cookie->name().to_owned());
	co_return names;
}

TEST(CookieJarTest, StoredCookieIsFoundListedAndDeleted) {
	run_task([](ApplicationHandle app) -> Task<> {
		std::optional<CookieJar> jar = app.cookie_jar();
		EXPECT_TRUE(jar.has_value());
		if (!jar) co_return;

		Cookie cookie("session", "abc123");
		CookieStoreResult stored = co_await jar->store("https://shop.example/account/orders", cookie);
		EXPECT_TRUE(stored.ok());

		// No domain and no path: the URL's host alone, and the URL's directory.
		std::optional<Cookie> found = co_await jar->find("https://shop.example/account/settings", "session", true);
		EXPECT_TRUE(found.has_value());
		if (found) {
			EXPECT_EQ(found->value(), "abc123");
			EXPECT_EQ(found->domain(), "shop.example");
			EXPECT_EQ(found->path(), "/account");
			EXPECT_FALSE(found->expires().has_value());
			EXPECT_FALSE(found->is_secure());
			EXPECT_FALSE(found->is_http_only());
		}
		EXPECT_FALSE((co_await jar->find("https://shop.example/elsewhere", "session", true)).has_value());
		EXPECT_FALSE((co_await jar->find("https://other.example/account/x", "session", true)).has_value());
		EXPECT_THAT(co_await names_in_domain(*jar, "shop.example"), ::testing::ElementsAre("session"));

		EXPECT_EQ(co_await jar->delete_("https://shop.example/account/orders", "session"), 1u);
		EXPECT_FALSE((co_await jar->find("https://shop.example/account/settings", "session", true)).has_value());
		EXPECT_THAT(co_await names_in_domain(*jar, "shop.example"), ::testing::IsEmpty());
		EXPECT_EQ(co_await jar->delete_("https://shop.example/account/orders", "session"), 0u);
	});
}

// Each future made in a statement of its own, from a jar, a cookie and an iterator that are gone
// before it is first awaited.
TEST(CookieJarTest, FuturesKeepWhatTheyNeedAfterTheirJarAndCookieAreGone) {
	run_task([](ApplicationHandle app) -> Task<> {
		if (!app.cookie_jar()) co_return;
		const std::string url = "https://kept.example/a/b";
		CookieStoreFuture storing = app.cookie_jar()->store(url, Cookie("kept", "value").set_path("/a"));
		EXPECT_TRUE((co_await std::move(storing)).ok());
		Task<std::optional<Cookie>> finding = app.cookie_jar()->find(url, "kept", true);
		std::optional<Cookie> found = co_await std::move(finding);
		EXPECT_EQ(found ? found->value().to_owned() : "", "value");
		CookieNextFuture listing = app.cookie_jar()->iter(url, true).next();
		std::optional<Cookie> listed = co_await std::move(listing);
		EXPECT_EQ(listed ? listed->name().to_owned() : "", "kept");
		CookieDeleteFuture deleting = app.cookie_jar()->delete_(url, "kept");
		EXPECT_EQ(co_await std::move(deleting), 1u);
		Task<std::size_t> clearing = app.cookie_jar()->delete_all("kept");
		EXPECT_EQ(co_await std::move(clearing), 0u);
	});
}

TEST(CookieJarTest, StoresThatCannotBeDoneReportTheStorageError) {
	run_task([](ApplicationHandle app) -> Task<> {
		std::optional<CookieJar> jar = app.cookie_jar();
		if (!jar) co_return;
		Cookie cookie("id", "1");
		for (const char* url : {"not a url", "", "file:///tmp/page.html", "https://"}) {
			CookieStoreResult stored = co_await jar->store(url, cookie);
			EXPECT_FALSE(stored.ok()) << url;
			if (!stored.ok()) {
				EXPECT_EQ(stored.error(), CookieStorageError::Unknown);
			}
		}
		// A cookie cannot be planted on a host its domain does not cover.
		cookie.set_domain("bank.example");
		EXPECT_FALSE((co_await jar->store("https://evil.example/", cookie)).ok());
		EXPECT_FALSE((co_await jar->find_from_all("id")).has_value());
	});
	EXPECT_EQ(to_string(CookieStorageError::Unknown), "unable to set cookie (url invalid?)");
	EXPECT_EQ(debug_string(CookieStorageError::Unknown), "Unknown");
}

TEST(CookieJarTest, AttributesSurviveTheJarAndHttpOnlyCookiesCanBeLeftOut) {
	run_task([](ApplicationHandle app) -> Task<> {
		std::optional<CookieJar> jar = app.cookie_jar();
		if (!jar) co_return;
		auto expiry = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + std::chrono::hours(24 * 400);
		Cookie token("token", "t=1;x");
		token.set_domain(".news.example").set_path("/").set_expires(expiry).make_secure().make_http_only();
		Cookie theme("theme", "dark");
		EXPECT_TRUE((co_await jar->store("https://www.news.example/", token)).ok());
		EXPECT_TRUE((co_await jar->store("https://www.news.example/", theme)).ok());

		// Sent to every host of the domain; left out of a listing without HTTP-only cookies.
		EXPECT_FALSE((co_await jar->find("https://live.news.example/", "token", false)).has_value());
		EXPECT_TRUE((co_await jar->find("https://www.news.example/", "theme", false)).has_value());
		std::optional<Cookie> found = co_await jar->find("https://live.news.example/", "token", true);
		EXPECT_TRUE(found.has_value());
		if (found) {
			EXPECT_EQ(found->value(), "t=1;x");
			EXPECT_EQ(found->domain(), ".news.example");
			EXPECT_EQ(found->path(), "/");
			EXPECT_TRUE(found->is_secure());
			EXPECT_TRUE(found->is_http_only());
			EXPECT_EQ(found->expires(), std::optional<CookieTime>(expiry));
		}
		EXPECT_TRUE((co_await jar->find_from_all("token")).has_value());

		EXPECT_EQ(co_await jar->delete_all("token"), 1u);
		EXPECT_FALSE((co_await jar->find_from_all("token")).has_value());
		EXPECT_TRUE((co_await jar->find_from_all("theme")).has_value());
		EXPECT_GE(co_await jar->clear_all(), 1u);
		EXPECT_FALSE((co_await jar->find_from_all("theme")).has_value());
	});
}

TEST(CookieTest, ACookieKeepsWhatIsSetOnIt) {
	auto before = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
	Cookie cookie("name", "value");
	EXPECT_GE(cookie.creation_time(), before);
	EXPECT_FALSE(cookie.expires().has_value());
	EXPECT_EQ(cookie.domain(), "");
	cookie.set_name("lang").set_value("en-GB").set_domain("example.com").set_path("/docs").make_secure();
	EXPECT_EQ(cookie.name(), "lang");
	EXPECT_TRUE(cookie.name().is_borrowed());
	EXPECT_EQ(cookie.value(), "en-GB");
	EXPECT_EQ(cookie.domain(), "example.com");
	EXPECT_EQ(cookie.path(), "/docs");
	EXPECT_TRUE(cookie.is_secure());
	EXPECT_FALSE(cookie.is_http_only());

	cookie.set_creation_time(CookieTime{} + 1500ms).set_expires(CookieTime{} + 2500ms);
	EXPECT_EQ(cookie.creation_time(), CookieTime{} + 1500ms);
	EXPECT_EQ(cookie.expires(), std::optional<CookieTime>(CookieTime{} + 2500ms));
	// An expiry at or before 1970 stays an expiry (long past), never turning into none.
	cookie.set_expires(CookieTime{} - 1s);
	EXPECT_EQ(cookie.expires(), std::optional<CookieTime>(CookieTime{} + 1ms));
	cookie.set_creation_time(CookieTime{} - 1s);
	EXPECT_EQ(cookie.creation_time(), CookieTime{});
}

// Releases of jars and iterators while their operations are pending, and futures dropped before
// they complete: the handlers still come with live records, and nothing leaks (checked under ASan).
TEST(CookieJarTest, ReleasingWhileOperationsArePendingIsSafe) {
	TestApplication app;
	struct Seen {
		bw_Application* app = nullptr;
		bw_CookieJar* stored_jar = nullptr;
		bw_CookieIterator* iterated = nullptr;
		int calls = 0;
	} seen;
	int exit_code = app.run([&](bw_Application* raw) {
		seen.app = raw;
		bw_CookieJar* jar = bw_CookieJar_newGlobal();
		ASSERT_NE(jar, nullptr);
		bw_Cookie* cookie = bw_Cookie_new(bw_CStrSlice{1, "k"}, bw_CStrSlice{1, "v"});
		bw_Err error = bw_CookieJar_store(
		    jar, bw_CStrSlice{21, "https://pending.test/"}, cookie,
		    [](bw_CookieJar* jar, void* data, bw_Err error) {
			    auto* seen = *static_cast<Seen**>(data);
			    std::free(data);
			    EXPECT_EQ(error.code, 0u);
			    bw_Err_free(&error);
			    seen->stored_jar = jar;
			    seen->calls += 1;
			    // The owner released the jar; it lives on until here, and can still list.
			    bw_CookieIterator* iterator = nullptr;
			    bw_CookieJar_iteratorAll(jar, &iterator);
			    seen->iterated = iterator;
			    auto* next_data = static_cast<Seen**>(std::malloc(sizeof(Seen*)));
			    *next_data = seen;
			    EXPECT_GT(bw_CookieIterator_next(
			                  iterator,
			                  [](bw_CookieIterator* iterator, void* data, bw_Cookie* cookie) {
				                  auto* seen = *static_cast<Seen**>(data);
				                  std::free(data);
				                  EXPECT_EQ(iterator, seen->iterated);
				                  EXPECT_NE(cookie, nullptr);
				                  bw_Cookie_free(cookie);
				                  seen->calls += 1;
				                  // The manager answers in order: the dropped future's listing came first.
				                  bw_Application_exit(seen->app, 0);
			                  },
			                  next_data),
			              0);
			    // Released while its fetch is pending.
			    bw_CookieIterator_free(iterator);
		    },
		    [&] {
			    auto* data = static_cast<Seen**>(std::malloc(sizeof(Seen*)));
			    *data = &seen;
			    return data;
		    }());
		EXPECT_EQ(error.code, 0u);
		bw_Err_free(&error);
		bw_Cookie_free(cookie);
		bw_CookieJar_free(jar);

		// A future dropped before its completion: the completion finds nobody and releases the cookie.
		ApplicationHandle handle{ApplicationImpl(raw)};
		std::optional<CookieJar> upper = handle.cookie_jar();
		CookieIterator cookies = upper->iter_all();
		{
			CookieNextFuture next = cookies.next();
			EXPECT_FALSE(next.poll(Waker(ApplicationImpl(raw), 0)));
		}
	});
	EXPECT_EQ(exit_code, 0);
	EXPECT_EQ(seen.calls, 2);
	EXPECT_NE(seen.stored_jar, nullptr);
	EXPECT_EQ(cookie_detail::pending_count(), 0u);
}

} // namespace
} // namespace bw
