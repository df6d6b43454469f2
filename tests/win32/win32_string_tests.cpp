// UTF-8 and UTF-16 conversion at Win32 calls, and the errors made from HRESULTs.
#include "core/error.hpp"

#include <bw/win32.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace bw {
namespace {

std::string message_of(bw_Err error) { return Error(error).to_string(); }

TEST(Win32Strings, Utf8ToUtf16) {
	wchar_t* empty = bw_win32_copyAsNewWstr(bw_CStrSlice{0, nullptr});
	ASSERT_NE(empty, nullptr);
	EXPECT_EQ(empty[0], L'\0');
	std::free(empty);

	// Only len bytes are read: no terminator needed.
	const char text[] = "h\xc3\xa9llo\xf0\x9f\x98\x80!!!";
	wchar_t* wide = bw_win32_copyAsNewWstr(bw_CStrSlice{10, text});
	EXPECT_EQ(std::wstring(wide), std::wstring(L"h\u00e9llo\U0001F600"));
	std::free(wide);
}

TEST(Win32Strings, Utf16ToUtf8) {
	char* result = nullptr;
	EXPECT_EQ(bw_win32_copyAsNewUtf8Str(L"", &result), 0u);
	EXPECT_STREQ(result, "");
	std::free(result);

	EXPECT_EQ(bw_win32_copyAsNewUtf8Str(L"\u00e9", &result), 2u);
	EXPECT_STREQ(result, "\xc3\xa9");
	std::free(result);

	char* copy = bw_win32_copyWstrAsNewCstr(L"\u20ac and \U0001F600");
	EXPECT_STREQ(copy, "\xe2\x82\xac and \xf0\x9f\x98\x80");
	std::free(copy);
	copy = bw_win32_copyWstrAsNewCstr(L"");
	EXPECT_STREQ(copy, "");
	std::free(copy);
}

TEST(Win32Strings, UnpairedSurrogateIsFatal) {
	const wchar_t lone_surrogate[] = {0xd800, 0};
	EXPECT_DEATH(
	    {
		    char* result = nullptr;
		    bw_win32_copyAsNewUtf8Str(lone_surrogate, &result);
	    },
	    "win32 error \\[");
}

TEST(Win32Errors, HresultCodes) {
	// Facility 8 (Win32) keeps only the low 16 bits; any other facility keeps all 32.
	bw_Err win32 = bw_win32_unhandledHresult(static_cast<int32_t>(0x80080005u));
	EXPECT_EQ(win32.code, 5u);
	EXPECT_EQ(message_of(win32).rfind("[5] Unhandled win32 hresult error [0x5]: ", 0), 0u);

	bw_Err facility7 = bw_win32_unhandledHresult(static_cast<int32_t>(0x80070005u));
	EXPECT_EQ(facility7.code, 0x80070005u);
	bw_Err_free(&facility7);

	bw_Err unknown = bw_win32_unhandledHresult(static_cast<int32_t>(0xa0ffbeefu));
	EXPECT_EQ(unknown.code, 0xa0ffbeefu);
	EXPECT_EQ(message_of(unknown), "[2701115119] Unknown win32 hresult error: 0xa0ffbeef");
}

TEST(Win32Errors, PrintersWriteOneLine) {
	::testing::internal::CaptureStderr();
	bw_win32_print_error(ERROR_FILE_NOT_FOUND);
	bw_win32_print_hresult_error(static_cast<int32_t>(0xa0ffbeefu));
	std::string printed = ::testing::internal::GetCapturedStderr();
	EXPECT_EQ(printed.rfind("win32 error [2]: ", 0), 0u) << printed;
	EXPECT_NE(printed.find("win32 hresult assertion with unknown message: a0ffbeef\n"), std::string::npos) << printed;
}

} // namespace
} // namespace bw
