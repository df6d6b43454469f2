#include "javascript/big_float.hpp"

#include <boost/core/nvp.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <system_error>

namespace bw {

namespace {

constexpr int kDigits = BigFloat::digits10;

using Backend = BigFloat::value_type::backend_type;

// The backend keeps base-10^8 limbs, most significant first; the first limb weighs 10^exponent
// with exponent a multiple of 8 and, unless the number is zero, is not zero.
constexpr int kLimbDigits = 8;
constexpr int kLimbs = Backend::cpp_dec_float_total_digits10 / kLimbDigits;
// 40 digits starting anywhere in the first limb fit in the limbs without rounding.
static_assert((kLimbs - 1) * kLimbDigits >= kDigits);
// The first limb of every finite value stays inside the backend's exponent range.
static_assert(BigFloat::max_exponent < Backend::cpp_dec_float_max_exp10 - kLimbDigits);
static_assert(BigFloat::min_exponent - kLimbDigits > Backend::cpp_dec_float_min_exp10);

constexpr std::uint32_t kPow10[kLimbDigits + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// A finite nonzero number as decimal digit characters: digits() starts with a digit other than
// '0', there are 1 to 40 digits and no trailing '0', and the first digit weighs 10^exponent. The
// buffer has room for every digit the limbs can hold.
struct Decimal {
	bool negative = false;
	int first = 0;
	int count = 0;
	std::int64_t exponent = 0;
	char buffer[kLimbs * kLimbDigits];

	char* digits() { return buffer + first; }
	const char* digits() const { return buffer + first; }
};

struct Limbs {
	std::uint32_t limb[kLimbs] = {};
	std::int64_t exponent = 0;
	bool negative = false;
};

// Reads or writes a finite backend's limbs, exponent and sign through its serialization hook, the
// only public access to its digits. Building and reading digits this way costs a few
// nanoseconds, where the backend's own string conversions cost about a microsecond. The class
// and precision fields are left as they are, so writing needs a finite value to start from.
template <bool Write>
class LimbArchive {
public:
	explicit LimbArchive(Limbs& limbs) : limbs_(limbs) {}

	template <class T>
	LimbArchive& operator&(const boost::nvp<T>& item) {
		T& field = item.value();
		switch (item.name()[0]) {
		case 'd': // digit
			if constexpr (std::is_same_v<T, std::uint32_t>) {
				if (limb_index_ >= kLimbs) break;
				if constexpr (Write)
					field = limbs_.limb[limb_index_];
				else
					limbs_.limb[limb_index_] = field;
				++limb_index_;
			}
			break;
		case 'e': // exponent
			if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
				if constexpr (Write)
					field = static_cast<T>(limbs_.exponent);
				else
					limbs_.exponent = field;
			}
			break;
		case 's': // sign
			if constexpr (std::is_same_v<T, bool>) {
				if constexpr (Write)
					field = limbs_.negative;
				else
					limbs_.negative = field;
			}
			break;
		default: break;
		}
		return *this;
	}

private:
	Limbs& limbs_;
	int limb_index_ = 0;
};

std::int64_t floor_to_limb(std::int64_t exponent) {
	std::int64_t q = exponent / kLimbDigits;
	if (exponent % kLimbDigits < 0) --q;
	return q * kLimbDigits;
}

constexpr char kDigitPairs[] =
	"00010203040506070809101112131415161718192021222324252627282930313233343536373839"
	"40414243444546474849505152535455565758596061626364656667686970717273747576777879"
	"8081828384858687888990919293949596979899";

// Writes the 8 digits of a limb, leading zeros included.
void put_limb(std::uint32_t limb, char* out) {
	for (int i = kLimbDigits - 2; i >= 0; i -= 2) {
		std::memcpy(out + i, kDigitPairs + 2 * (limb % 100), 2);
		limb /= 100;
	}
}

Limbs read_limbs(const BigFloat::value_type& value) {
	Limbs limbs;
	LimbArchive<false> archive(limbs);
	// A reading archive leaves the backend as it is.
	const_cast<Backend&>(value.backend()).serialize(archive, 0);
	return limbs;
}

// A finite nonzero value's digits.
Decimal to_decimal(const Limbs& limbs) {
	Decimal d;
	int last = kLimbs - 1;
	while (last > 0 && limbs.limb[last] == 0) --last;
	for (int l = 0; l <= last; ++l) put_limb(limbs.limb[l], d.buffer + l * kLimbDigits);
	int first_limb_digits = 1;
	while (first_limb_digits < kLimbDigits && limbs.limb[0] >= kPow10[first_limb_digits]) ++first_limb_digits;
	int lead = kLimbDigits - first_limb_digits;
	// The last limb is not zero; its zeros are counted two at a time.
	int trailing = 0;
	std::uint32_t v = limbs.limb[last];
	for (; v % 100 == 0; v /= 100) trailing += 2;
	if (v % 10 == 0) ++trailing;
	d.negative = limbs.negative;
	d.first = lead;
	d.exponent = limbs.exponent + (kLimbDigits - 1 - lead);
	// Values are built with at most 40 digits, so nothing is cut here.
	d.count = std::min((last + 1) * kLimbDigits - lead - trailing, kDigits);
	return d;
}

} // namespace

// Builds values from digits; a friend, so that it may set the stored number.
class BigFloatBuilder {
public:
	static BigFloat build(const Decimal& d) {
		if (d.exponent > BigFloat::max_exponent) return BigFloat::infinity(d.negative);
		if (d.exponent < BigFloat::min_exponent) return BigFloat();
		Limbs limbs;
		limbs.negative = d.negative;
		limbs.exponent = floor_to_limb(d.exponent);
		int offset = kLimbDigits - 1 - static_cast<int>(d.exponent - limbs.exponent);
		for (int i = 0; i < d.count; ++i) {
			int at = offset + i;
			limbs.limb[at / kLimbDigits] += static_cast<std::uint32_t>(d.digits()[i] - '0') * kPow10[kLimbDigits - 1 - at % kLimbDigits];
		}
		BigFloat result;
		LimbArchive<true> archive(limbs);
		result.value_.backend().serialize(archive, 0);
		return result;
	}
};

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Collects the significant digits of a digit stream, keeping the first 40, one more for rounding
// and whether anything nonzero follows.
class DigitCollector {
public:
	void add(char digit) {
		if (count_ == 0 && digit == '0') return;
		if (count_ < kDigits)
			d_.buffer[count_] = digit;
		else if (count_ == kDigits)
			round_digit_ = digit;
		else if (digit != '0')
			sticky_ = true;
		++count_;
	}

	bool empty() const { return count_ == 0; }
	std::int64_t count() const { return count_; }

	// Rounds to nearest, ties to even, and drops trailing zeros.
	Decimal& finish(bool negative, std::int64_t exponent) {
		d_.negative = negative;
		d_.exponent = exponent;
		int n = count_ < kDigits ? static_cast<int>(count_) : kDigits;
		if (count_ > kDigits) {
			bool odd = (d_.buffer[kDigits - 1] - '0') % 2 == 1;
			if (round_digit_ > '5' || (round_digit_ == '5' && (sticky_ || odd))) {
				int i = kDigits - 1;
				while (i >= 0 && d_.buffer[i] == '9') d_.buffer[i--] = '0';
				if (i >= 0) {
					++d_.buffer[i];
				} else {
					d_.buffer[0] = '1';
					++d_.exponent;
				}
			}
		}
		while (n > 1 && d_.buffer[n - 1] == '0') --n;
		d_.count = n;
		return d_;
	}

private:
	Decimal d_;
	std::int64_t count_ = 0;
	char round_digit_ = '0';
	bool sticky_ = false;
};

// Past this an exponent is out of range whatever the digits; saturating keeps sums in int64.
constexpr std::int64_t kExponentCap = 1'000'000'000'000'000;

} // namespace

void BigFloat::set_integer(bool negative, std::uint64_t magnitude) noexcept {
	value_ = value_type(static_cast<unsigned long long>(magnitude));
	if (negative && magnitude != 0) value_.backend().negate();
}

BigFloat BigFloat::infinity(bool negative) {
	BigFloat result;
	result.value_ = std::numeric_limits<value_type>::infinity();
	if (negative) result.value_.backend().negate();
	return result;
}

std::optional<BigFloat> BigFloat::parse(std::string_view text) {
	std::size_t i = 0;
	const std::size_t n = text.size();
	bool negative = false;
	if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
	if (text.substr(i) == "Infinity") return infinity(negative);

	DigitCollector digits;
	// The weight of the first significant digit follows from where it stands against the point.
	std::int64_t exponent = 0;
	std::size_t int_start = i;
	while (i < n && is_digit(text[i])) digits.add(text[i++]);
	std::size_t int_count = i - int_start;
	if (!digits.empty()) exponent = digits.count() - 1;
	std::size_t frac_count = 0;
	if (i < n && text[i] == '.') {
		std::size_t frac_start = ++i;
		while (i < n && is_digit(text[i])) {
			if (digits.empty() && text[i] != '0') exponent = -static_cast<std::int64_t>(i - frac_start) - 1;
			digits.add(text[i++]);
		}
		frac_count = i - frac_start;
	}
	if (int_count == 0 && frac_count == 0) return std::nullopt;

	if (i < n && (text[i] == 'e' || text[i] == 'E')) {
		++i;
		bool negative_exponent = false;
		if (i < n && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
		std::size_t exp_start = i;
		std::int64_t value = 0;
		for (; i < n && is_digit(text[i]); ++i) value = std::min(value * 10 + (text[i] - '0'), kExponentCap);
		if (i == exp_start) return std::nullopt;
		exponent += negative_exponent ? -value : value;
	}
	if (i != n) return std::nullopt;
	if (digits.empty()) return BigFloat();
	return BigFloatBuilder::build(digits.finish(negative, exponent));
}

char* BigFloat::write(char* p) const {
	const Backend& backend = value_.backend();
	if (backend.isinf()) {
		std::string_view text = backend.isneg() ? "-Infinity" : "Infinity";
		return std::copy(text.begin(), text.end(), p);
	}
	if (backend.iszero()) {
		*p++ = '0';
		return p;
	}
	char* const start = p;
	const Limbs limbs = read_limbs(value_);
	if (limbs.negative) *p++ = '-';
	int last = kLimbs - 1;
	while (last > 0 && limbs.limb[last] == 0) --last;
	// Integers below 10^16, the most common numbers, have their digits in the first two limbs.
	if ((limbs.exponent == 0 && last == 0) || (limbs.exponent == kLimbDigits && last <= 1)) {
		std::uint64_t magnitude = last == 0 ? limbs.limb[0] : limbs.limb[0] * std::uint64_t{kPow10[kLimbDigits]} + limbs.limb[1];
		if (limbs.exponent == kLimbDigits && last == 0) magnitude *= kPow10[kLimbDigits];
		return std::to_chars(p, start + max_text_size, magnitude).ptr;
	}
	// Next most common: at least 1 and below 10^8, with a fraction. The first limb is the
	// integer part, the others hold the fraction, whose trailing zeros are dropped. (At most 40
	// digits leave it well inside max_text_size; the bound on last only keeps it so.)
	if (limbs.exponent == 0 && last <= 5) {
		p = std::to_chars(p, start + max_text_size, limbs.limb[0]).ptr;
		*p++ = '.';
		for (int l = 1; l <= last; ++l, p += kLimbDigits) put_limb(limbs.limb[l], p);
		while (p[-1] == '0') --p;
		return p;
	}
	const Decimal d = to_decimal(limbs);
	auto put = [&](const char* from, std::ptrdiff_t count) {
		std::memcpy(p, from, static_cast<std::size_t>(count));
		p += count;
	};
	const std::int64_t x = d.exponent;
	if (x >= 0 && x <= 20) {
		int whole = static_cast<int>(x) + 1;
		if (d.count <= whole) {
			put(d.digits(), d.count);
			p = std::fill_n(p, whole - d.count, '0');
		} else {
			put(d.digits(), whole);
			*p++ = '.';
			put(d.digits() + whole, d.count - whole);
		}
	} else if (x < 0 && x >= -6) {
		*p++ = '0';
		*p++ = '.';
		p = std::fill_n(p, -x - 1, '0');
		put(d.digits(), d.count);
	} else {
		*p++ = d.digits()[0];
		if (d.count > 1) {
			*p++ = '.';
			put(d.digits() + 1, d.count - 1);
		}
		*p++ = 'e';
		*p++ = x < 0 ? '-' : '+';
		p = std::to_chars(p, start + max_text_size, x < 0 ? -x : x).ptr;
	}
	return p;
}

void BigFloat::append_to(std::string& out) const {
	char buffer[max_text_size];
	out.append(buffer, write(buffer));
}

std::string BigFloat::to_string() const {
	std::string out;
	append_to(out);
	return out;
}

double BigFloat::to_double() const {
	const Backend& backend = value_.backend();
	if (backend.isinf()) return backend.isneg() ? -HUGE_VAL : HUGE_VAL;
	if (backend.iszero()) return 0.0;
	const Decimal d = to_decimal(read_limbs(value_));
	// "-d.ddd…e±x", which from_chars reads with correct rounding whatever the locale.
	char buffer[max_text_size];
	char* p = buffer;
	if (d.negative) *p++ = '-';
	*p++ = d.digits()[0];
	*p++ = '.';
	p = std::copy(d.digits() + 1, d.digits() + d.count, p);
	*p++ = 'e';
	p = std::to_chars(p, buffer + sizeof buffer, d.exponent).ptr;
	double result = 0.0;
	auto [end, error] = std::from_chars(buffer, p, result);
	if (error == std::errc::result_out_of_range) {
		double magnitude = d.exponent > 0 ? HUGE_VAL : 0.0;
		return d.negative ? -magnitude : magnitude;
	}
	return result;
}

BigFloat BigFloat::operator-() const {
	BigFloat result = *this;
	if (!is_zero()) result.value_.backend().negate();
	return result;
}

std::ostream& operator<<(std::ostream& out, const BigFloat& number) { return out << number.to_string(); }

} // namespace bw
