// Error records, their messages and the upper layer's Error; text slices.
#include "core/error.hpp"
#include "core/string.hpp"

#include <bw/err.h>
#include <bw/string.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

extern "C" int bw_c_abi_check(void);

namespace bw {
namespace {

TEST(ErrRecord, SuccessValue) {
	bw_Err success = bw_Err_success();
	char* message = bw_Err_message(&success);
	EXPECT_STREQ(message, "success");
	bw_string_freeCstr(message);
	EXPECT_EQ(Error(bw_Err_success()).to_string(), "[0] success");
	bw_Err_free(&success); // null data: nothing to release
	EXPECT_TRUE(check(bw_Err_success()).ok());
}

TEST(ErrRecord, MessagesAreNewCopiesEachTime) {
	bw_Err error = bw_Err_new_with_msg(3, "");
	char* first = bw_Err_message(&error);
	char* second = bw_Err_message(&error);
	EXPECT_NE(first, second);
	EXPECT_STREQ(first, "");
	bw_string_freeCstr(first);
	EXPECT_STREQ(second, "");
	bw_string_freeCstr(second);
	char* third = bw_Err_message(&error);
	EXPECT_STREQ(third, "");
	bw_string_freeCstr(third);
	bw_Err_free(&error);
}

TEST(Error, TextAndDiagnosticForms) {
	auto result = check(bw_Err_new_with_msg(42, "no display"));
	ASSERT_FALSE(result.ok());
	EXPECT_EQ(result.error().code(), 42u);
	EXPECT_EQ(result.error().to_string(), "[42] no display");
	std::string debug = result.error().debug_string();
	EXPECT_EQ(debug.rfind("Error(cbw_Err { code: 42, data: 0x", 0), 0u) << debug;
	EXPECT_NE(debug.find(", alloc_message: 0x"), std::string::npos) << debug;

	// Moving hands over the record; only the last holder releases it (LeakSanitizer and
	// AddressSanitizer see a leak or a double release).
	Error moved = std::move(result.error());
	Error assigned(bw_Err_new_with_msg(1, "replaced"));
	assigned = std::move(moved);
	EXPECT_EQ(assigned.to_string(), "[42] no display");

	bw_Err no_producer{7, nullptr, nullptr};
	EXPECT_NE(err_debug_string(no_producer).find("alloc_message: None"), std::string::npos);
}

TEST(Error, InvalidUtf8) {
	// The bare record's text form replaces ill-formed UTF-8; the Error's text form treats it as fatal.
	bw_Err record = bw_Err_new_with_msg(9, "bad \xff byte");
	EXPECT_EQ(err_message(record), "bad \xef\xbf\xbd byte");
	EXPECT_EXIT(Error(record).to_string(), ::testing::ExitedWithCode(101), "invalid utf-8 in bw_Err error message");
	bw_Err_free(&record);
}

TEST(StringSlices, CopiesAndViews) {
	char* empty = bw_string_copyAsNewCstr(to_cstr_slice(""));
	EXPECT_EQ(empty[0], '\0');
	bw_string_freeCstr(empty);

	const char bytes[] = {'a', '\0', 'b'};
	char* copy = bw_string_copyAsNewCstr(bw_CStrSlice{3, bytes});
	EXPECT_EQ(std::memcmp(copy, bytes, 3), 0);
	EXPECT_EQ(copy[3], '\0');

	bw_StrSlice owned{3, copy};
	EXPECT_EQ(to_owned_string(owned), std::string(bytes, 3));
	EXPECT_EQ(to_owned_string(empty_str_slice()), "");
	bw_string_free(owned);
}

TEST(CAbi, HeadersCompileAsC) { EXPECT_EQ(bw_c_abi_check(), 0); }

} // namespace
} // namespace bw
