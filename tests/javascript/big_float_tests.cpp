#include "javascript/big_float.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace bw {
namespace {

std::string shown(std::string_view text) {
	auto number = BigFloat::parse(text);
	return number ? number->to_string() : "rejected";
}

TEST(BigFloatTest, DisplaysJavaScriptNumberText) {
	EXPECT_EQ(shown("1.5"), "1.5");
	EXPECT_EQ(shown("12e2"), "1200");
	EXPECT_EQ(shown("-2e3"), "-2000");
	EXPECT_EQ(shown("0.10"), "0.1");
	EXPECT_EQ(shown("-0.0"), "0");
	EXPECT_EQ(shown("0.000001"), "0.000001");
	EXPECT_EQ(shown("1e-7"), "1e-7");
	EXPECT_EQ(shown("123456789012345678901"), "123456789012345678901");
	EXPECT_EQ(shown("1e21"), "1e+21");
	EXPECT_EQ(shown("-1.25E+300"), "-1.25e+300");
	// Around the limbs of eight digits that the common cases are written from.
	for (const char* same : {"12345678.9", "99999999.5", "7.00000001", "100000000", "123456789", "1234567890123456", "12345678901234567",
	                         "-1.000000000000000000000000000000000000001", "10000000.00000000000000000000000000000001", "0.5"})
		EXPECT_EQ(shown(same), same);
	EXPECT_EQ(shown("1.10000000"), "1.1");
	EXPECT_EQ(shown("3.000000000000000000000"), "3");
	EXPECT_EQ(BigFloat(-9223372036854775807LL - 1).to_string(), "-9223372036854775808");
	EXPECT_EQ(BigFloat(18446744073709551615ULL).to_string(), "18446744073709551615");
}

TEST(BigFloatTest, ReaderAcceptsOnlyDecimalLiterals) {
	for (const char* text : {"", "-", ".", "e5", "1e", "1e+", "1.2.3", " 1", "1 ", "0x10", "1_000", "1,5", "Inf", "NaN", "١"})
		EXPECT_FALSE(BigFloat::parse(text)) << text;
	EXPECT_EQ(shown("+.5"), "0.5");
	EXPECT_EQ(shown("5."), "5");
	EXPECT_EQ(shown("007"), "7");
	EXPECT_EQ(shown("-Infinity"), "-Infinity");
}

TEST(BigFloatTest, DecimalFractionsAreExact) {
	auto tenth = BigFloat::parse("0.1");
	ASSERT_TRUE(tenth);
	EXPECT_EQ(tenth->value(), BigFloat::value_type("0.1"));
	EXPECT_EQ(tenth->value() * 3, BigFloat::value_type("0.3"));
	EXPECT_EQ(BigFloat::parse("1.5")->value() * 2, BigFloat::value_type(3));
	EXPECT_EQ(*BigFloat::parse("1.50e0"), *BigFloat::parse("15e-1"));
	EXPECT_LT(*BigFloat::parse("0.1"), *BigFloat::parse("0.10000000000000000001"));
	EXPECT_DOUBLE_EQ(tenth->to_double(), 0.1);
}

TEST(BigFloatTest, LongMantissasRoundToFortyDigitsTiesToEven) {
	const std::string forty = "1234567890123456789012345678901234567890";
	EXPECT_EQ(shown(forty), "1.23456789012345678901234567890123456789e+39");
	EXPECT_EQ(shown("0." + forty), "0." + forty.substr(0, 39));
	EXPECT_EQ(shown(forty + "4999"), "1.23456789012345678901234567890123456789e+43");
	EXPECT_EQ(shown(forty + "5"), "1.23456789012345678901234567890123456789e+40");   // tie, 0 is even
	EXPECT_EQ(shown(forty + "50001"), "1.234567890123456789012345678901234567891e+44");
	EXPECT_EQ(shown("0." + std::string(45, '9')), "1");
	EXPECT_EQ(shown("0.000" + std::string(41, '3')), "0.000" + std::string(40, '3'));
	EXPECT_EQ(shown(std::string(5000, '0') + "1." + std::string(5000, '0') + "1"), "1");
}

TEST(BigFloatTest, ExponentsPastTheRangeBecomeInfinityOrZero) {
	EXPECT_EQ(shown("1e67108855"), "1e+67108855");
	EXPECT_EQ(shown("1e-67108855"), "1e-67108855");
	EXPECT_EQ(shown("1e67108856"), "Infinity");
	EXPECT_EQ(shown("-9.99e99999999999999999999999"), "-Infinity");
	EXPECT_EQ(shown("1e-67108856"), "0");
	EXPECT_EQ(shown("-1e-99999999999999999999999"), "0");
	EXPECT_EQ(shown("0e99999999999999999999999"), "0");
	EXPECT_TRUE(BigFloat::parse("1e400")->to_double() == HUGE_VAL);
	EXPECT_EQ(BigFloat::parse("-1e-400")->to_double(), 0.0);
	EXPECT_LT(*BigFloat::parse("9e67108855"), BigFloat::infinity());
	EXPECT_GT(*BigFloat::parse("-9e67108855"), BigFloat::infinity(true));
}

// The display text of random numbers reads back, through ours and through Boost's own reader, as
// the same number; this also guards how the digits are laid into the backend.
TEST(BigFloatTest, DisplayReadsBackAsTheSameNumber) {
	std::mt19937_64 random(42);
	for (int i = 0; i < 3000; ++i) {
		std::string text = random() % 2 ? "-" : "";
		int digits = 1 + static_cast<int>(random() % 40);
		for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
		text += "e" + std::to_string(static_cast<int>(random() % 800) - 400);
		auto number = BigFloat::parse(text);
		ASSERT_TRUE(number) << text;
		std::string display = number->to_string();
		EXPECT_EQ(number->value(), BigFloat::value_type(text)) << text;
		EXPECT_EQ(BigFloat::parse(display), number) << text << " shown as " << display;
		EXPECT_EQ(BigFloat::value_type(display), number->value()) << display;
		if (digits <= 15) {
			EXPECT_EQ(number->to_double(), std::strtod(text.c_str(), nullptr)) << text;
		}
	}
}

} // namespace
} // namespace bw
