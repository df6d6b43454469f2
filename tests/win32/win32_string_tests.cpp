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
	// A wrapped Win32 error (facility 7) reads as that error: its code and the system's text for it.
	bw_Err denied = bw_win32_unhandledHresult(E_ACCESSDENIED);
	EXPECT_EQ(denied.code, 5u);
	std::string text = message_of(denied);
	EXPECT_EQ(text.rfind("[5] Unhandled win32 hresult error [0x5]: ", 0), 0u) << text;
	EXPECT_NE(text.find("denied"), std::string::npos) << text;

	// Facility 8 is another system's: all 32 bits stay, as for any facility but 7.
	bw_Err windows = bw_win32_unhandledHresult(static_cast<int32_t>(0x80080005u));
	EXPECT_EQ(windows.code, 0x80080005u);
	bw_Err_free(&windows);

	// A text with inserts comes as it is, as there is nothing to put in their place.
	bw_Err bad_format = bw_win32_unhandledHresult(HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));
	EXPECT_EQ(bad_format.code, static_cast<uint32_t>(ERROR_BAD_EXE_FORMAT));
	text = message_of(bad_format);
	EXPECT_EQ(text.rfind("[193] Unhandled win32 hresult error [0xc1]: ", 0), 0u) << text;
	EXPECT_NE(text.find("%1"), std::string::npos) << text;

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
