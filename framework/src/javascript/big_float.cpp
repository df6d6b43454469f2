#include "javascript/big_float.hpp"

#include <boost/core/nvp.hpp>

#include <charconv>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <system_error>

namespace bw {

namespace {

constexpr int kDigits = BigFloat::digits10;

// A finite nonzero number as decimal digits: digit[0] is not zero, there are 1 to 40 digits and
// no trailing zero, and the first digit weighs 10^exponent.
struct Decimal {
	bool negative = false;
	int count = 0;
	std::int64_t exponent = 0;
	unsigned char digit[kDigits] = {};
};

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

// Writes the 8 digits of a limb, leading zeros included.
void put_limb(std::uint32_t limb, unsigned char* out) {
	for (int i = kLimbDigits - 1; i >= 0; --i) {
		out[i] = static_cast<unsigned char>(limb % 10);
		limb /= 10;
	}
}

Decimal to_decimal(const BigFloat::value_type& value) {
	Limbs limbs;
	LimbArchive<false> archive(limbs);
	// A reading archive leaves the backend as it is.
	const_cast<Backend&>(value.backend()).serialize(archive, 0);

	int last = kLimbs - 1;
	while (last > 0 && limbs.limb[last] == 0) --last;
	unsigned char all[kLimbs * kLimbDigits];
	put_limb(limbs.limb[0], all);
	int lead = 0;
	while (all[lead] == 0) ++lead;
	for (int l = 1; l <= last; ++l) put_limb(limbs.limb[l], all + l * kLimbDigits);
	int end = (last + 1) * kLimbDigits;
	while (end > lead + 1 && all[end - 1] == 0) --end;

	Decimal d;
	d.negative = limbs.negative;
	d.exponent = limbs.exponent + (kLimbDigits - 1 - lead);
	// Values are built with at most 40 digits, so nothing is cut here.
	d.count = end - lead < kDigits ? end - lead : kDigits;
	std::memcpy(d.digit, all + lead, static_cast<std::size_t>(d.count));
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
			limbs.limb[at / kLimbDigits] += d.digit[i] * kPow10[kLimbDigits - 1 - at % kLimbDigits];
		}
		BigFloat result;
		Backend& backend = result.value_.backend();
		LimbArchive<true> archive(limbs);
		backend.serialize(archive, 0);
		return result;
	}
};

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Collects the significant digits of a digit stream, keeping the first 40, one more for rounding
// and whether anything nonzero follows.
class DigitCollector {
public:
	void add(unsigned char digit) {
		if (count_ == 0 && digit == 0) return;
		if (count_ < kDigits)
			d_.digit[count_] = digit;
		else if (count_ == kDigits)
			round_digit_ = digit;
		else if (digit != 0)
			sticky_ = true;
		++count_;
	}

	bool empty() const { return count_ == 0; }
	std::int64_t count() const { return count_; }

	// Rounds to nearest, ties to even, and drops trailing zeros.
	Decimal finish(bool negative, std::int64_t exponent) {
		d_.negative = negative;
		d_.exponent = exponent;
		int n = count_ < kDigits ? static_cast<int>(count_) : kDigits;
		if (count_ > kDigits) {
			bool up = round_digit_ > 5 || (round_digit_ == 5 && (sticky_ || d_.digit[kDigits - 1] % 2 == 1));
			if (up) {
				int i = kDigits - 1;
				while (i >= 0 && d_.digit[i] == 9) d_.digit[i--] = 0;
				if (i >= 0) {
					++d_.digit[i];
				} else {
					d_.digit[0] = 1;
					++d_.exponent;
				}
			}
		}
		while (n > 1 && d_.digit[n - 1] == 0) --n;
		d_.count = n;
		return d_;
	}

private:
	Decimal d_;
	std::int64_t count_ = 0;
	unsigned char round_digit_ = 0;
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
	// Weight of the first significant digit, found from where it stands relative to the point.
	std::int64_t exponent = 0;
	std::size_t int_start = i;
	while (i < n && is_digit(text[i])) {
		digits.add(static_cast<unsigned char>(text[i] - '0'));
		++i;
	}
	std::size_t int_count = i - int_start;
	if (!digits.empty()) exponent = digits.count() - 1;
	std::size_t frac_count = 0;
	if (i < n && text[i] == '.') {
		++i;
		std::size_t frac_start = i;
		while (i < n && is_digit(text[i])) {
			if (digits.empty() && text[i] != '0') exponent = -static_cast<std::int64_t>(i - frac_start) - 1;
			digits.add(static_cast<unsigned char>(text[i] - '0'));
			++i;
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
		while (i < n && is_digit(text[i])) {
			value = value * 10 + (text[i] - '0');
			if (value > kExponentCap) value = kExponentCap;
			++i;
		}
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
	Decimal d = to_decimal(value_);
	char* const start = p;
	auto put_digits = [&](int from, int to) {
		for (int i = from; i < to; ++i) *p++ = static_cast<char>('0' + d.digit[i]);
	};
	if (d.negative) *p++ = '-';
	std::int64_t x = d.exponent;
	if (x >= 0 && x <= 20) {
		int whole = static_cast<int>(x) + 1;
		if (d.count <= whole) {
			put_digits(0, d.count);
			for (int i = d.count; i < whole; ++i) *p++ = '0';
		} else {
			put_digits(0, whole);
			*p++ = '.';
			put_digits(whole, d.count);
		}
	} else if (x < 0 && x >= -6) {
		*p++ = '0';
		*p++ = '.';
		for (std::int64_t i = -1; i > x; --i) *p++ = '0';
		put_digits(0, d.count);
	} else {
		put_digits(0, 1);
		if (d.count > 1) {
			*p++ = '.';
			put_digits(1, d.count);
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
	Decimal d = to_decimal(value_);
	// "-d.ddd…e±x", which from_chars reads with correct rounding whatever the locale.
	char buffer[kDigits + 40];
	char* p = buffer;
	if (d.negative) *p++ = '-';
	*p++ = static_cast<char>('0' + d.digit[0]);
	*p++ = '.';
	for (int i = 1; i < d.count; ++i) *p++ = static_cast<char>('0' + d.digit[i]);
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
