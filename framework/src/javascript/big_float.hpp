// Decimal floating-point numbers of JavaScript values.
#pragma once

#include <boost/multiprecision/cpp_dec_float.hpp>

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// A decimal number with up to 40 significant digits, held in Boost's cpp_dec_float.
//
// Every value is zero, a finite number of at most `digits10` significant decimal digits whose first
// digit has a weight between 10^min_exponent and 10^max_exponent, or an infinity. Reading rounds
// longer digit strings to nearest, ties to even; magnitudes past 10^(max_exponent + 1) become
// infinities and those below 10^min_exponent become zero, as JavaScript does for its own numbers.
// There is no NaN and no negative zero. Because every value carries at most 40 digits, the display
// text holds all of them and reads back as the same number.
class BigFloat {
public:
	using value_type = boost::multiprecision::number<boost::multiprecision::cpp_dec_float<40>,
	                                                 boost::multiprecision::et_off>;

	static constexpr int digits10 = 40;
	// Kept inside the backend's own exponent range (10^±67,108,864).
	static constexpr std::int64_t max_exponent = 67'108'855;
	static constexpr std::int64_t min_exponent = -67'108'855;

	BigFloat() noexcept = default;

	template <std::integral I>
		requires(!std::same_as<I, bool>)
	BigFloat(I value) noexcept { // NOLINT: exact, so implicit
		if constexpr (std::signed_integral<I>)
			set_integer(value < 0, value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
		else
			set_integer(false, static_cast<std::uint64_t>(value));
	}

	static BigFloat infinity(bool negative = false);

	// Reads a decimal literal: an optional sign, digits with an optional point (at least one digit
	// on either side), and an optional exponent ("e" or "E", optional sign, digits); or "Infinity"
	// with an optional sign. Nothing else is accepted: no white space, no hexadecimal, no
	// separators. Locale-independent.
	static std::optional<BigFloat> parse(std::string_view text);

	bool is_zero() const noexcept { return value_.backend().iszero(); }
	bool is_negative() const noexcept { return value_.backend().isneg(); }
	bool is_infinite() const noexcept { return value_.backend().isinf(); }

	// The nearest double (infinite past its range).
	double to_double() const;

	// JavaScript's own number form: plain digits for 1e-6 <= |x| < 1e21 ("1.5", "1200", "-0.001"),
	// otherwise a mantissa and a signed exponent ("1e+21", "-2.5e-8"); "Infinity", "-Infinity".
	std::string to_string() const;
	void append_to(std::string& out) const;

	// Room that the display text never exceeds.
	static constexpr std::size_t max_text_size = 64;
	// Writes the display text at out, which has room for max_text_size characters, and returns
	// the end of what it wrote.
	char* write(char* out) const;

	const value_type& value() const noexcept { return value_; }

	BigFloat operator-() const;

	friend bool operator==(const BigFloat& a, const BigFloat& b) noexcept { return a.value_.backend().compare(b.value_.backend()) == 0; }
	friend std::strong_ordering operator<=>(const BigFloat& a, const BigFloat& b) noexcept {
		return a.value_.backend().compare(b.value_.backend()) <=> 0;
	}

	friend std::ostream& operator<<(std::ostream& out, const BigFloat& number);

private:
	friend class BigFloatBuilder;

	void set_integer(bool negative, std::uint64_t magnitude) noexcept;

	value_type value_;
};

} // namespace bw
