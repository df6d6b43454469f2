// Cookie times, exact both ways, and the lower layer's answers when there is no record at all.
#include "cookie/cookie.hpp"

#include <bw/cookie.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

extern "C" uint64_t bw_cookie_header_check(void);

namespace bw {
namespace {

using namespace std::chrono_literals;

const CookieTime epoch{};

TEST(CookieTimeTest, MillisecondsConvertExactlyBothWays) {
	CookieTime time = cookie_time_from_milliseconds(1500);
	EXPECT_EQ(time, epoch + 1s + 500'000'000ns);
	EXPECT_EQ(cookie_time_to_milliseconds(time), 1500u);
	EXPECT_EQ(cookie_time_from_milliseconds(0), epoch);
	// Sub-millisecond parts are dropped, not rounded.
	EXPECT_EQ(cookie_time_to_milliseconds(epoch + 1'999'900ns), 1u);
	EXPECT_EQ(cookie_time_to_milliseconds(epoch + 999'999ns), 0u);
	// 2200-01-01, near the end of what a time point holds, round-trips.
	EXPECT_EQ(cookie_time_to_milliseconds(cookie_time_from_milliseconds(7'258'118'400'000)), 7'258'118'400'000u);
}

TEST(CookieTimeTest, TimesOutsideTheRangeAreClamped) {
	// Past the time point's range (the year 2262): its largest value, not an overflow. Sites set
	// expiries in the year 9999.
	EXPECT_EQ(cookie_time_from_milliseconds(253'402'300'799'000), CookieTime::max());
	EXPECT_EQ(cookie_time_from_milliseconds(UINT64_MAX), CookieTime::max());
	uint64_t largest = cookie_time_to_milliseconds(CookieTime::max());
	EXPECT_EQ(cookie_time_from_milliseconds(largest + 1), CookieTime::max());
	EXPECT_LE(cookie_time_from_milliseconds(largest), CookieTime::max());
	EXPECT_EQ(cookie_time_to_milliseconds(epoch - 1s), 0u);
}

TEST(CookieCAbi, HeaderCompilesAsCAndNewCookiesHaveNoExpiry) { EXPECT_EQ(bw_cookie_header_check(), 0u); }

TEST(CookieRecordTest, OperationsWithoutAJarReleaseTheirCallbackDataAndNeverCallBack) {
	// An engine without cookies hands out no jar. The lower layer takes over the callback data and
	// has no use for it: it releases it (a leak would show under LeakSanitizer), and the handlers
	// never run.
	static int calls = 0;
	bw_CStrSlice url{19, "https://example.com"};
	bw_Err stored = bw_CookieJar_store(nullptr, url, nullptr, [](bw_CookieJar*, void*, bw_Err) { ++calls; }, std::malloc(16));
	EXPECT_EQ(stored.code, 0u);
	bw_Err_free(&stored);
	bw_CookieJar_delete(nullptr, url, url, [](bw_CookieJar*, void*, uint32_t) { ++calls; }, std::malloc(16));
	bw_CookieIterator* iterator = nullptr;
	bw_CookieJar_iterator(nullptr, &iterator, 1, url);
	EXPECT_EQ(iterator, nullptr);
	EXPECT_EQ(bw_CookieIterator_next(iterator, [](bw_CookieIterator*, void*, bw_Cookie*) { ++calls; }, std::malloc(16)), 0);
	EXPECT_EQ(calls, 0);
}

} // namespace
} // namespace bw
