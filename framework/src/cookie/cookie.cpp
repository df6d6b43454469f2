#include "cookie/cookie.hpp"

#include "core/string.hpp"

namespace bw {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

CookieTime cookie_time_from_milliseconds(uint64_t count) {
	constexpr auto max_count = static_cast<uint64_t>(duration_cast<milliseconds>(CookieTime::duration::max()).count());
	if (count > max_count) return CookieTime::max();
	auto since_epoch = seconds(count / 1000) + nanoseconds((count % 1000) * 1'000'000);
	return CookieTime(duration_cast<CookieTime::duration>(since_epoch));
}

uint64_t cookie_time_to_milliseconds(CookieTime time) {
	auto since_epoch = time.time_since_epoch();
	if (since_epoch.count() < 0) return 0;
	auto whole = duration_cast<seconds>(since_epoch);
	auto rest = duration_cast<nanoseconds>(since_epoch - whole);
	return static_cast<uint64_t>(whole.count()) * 1000 + static_cast<uint64_t>(rest.count()) / 1'000'000;
}

CookieImpl::CookieImpl(std::string_view name, std::string_view value)
    : inner_(bw_Cookie_new(to_cstr_slice(name), to_cstr_slice(value))) {}

CookieImpl& CookieImpl::operator=(CookieImpl&& other) noexcept {
	if (this != &other) {
		bw_Cookie_free(inner_);
		inner_ = std::exchange(other.inner_, nullptr);
	}
	return *this;
}

CookieImpl CookieImpl::clone() const {
	if (inner_ == nullptr) return CookieImpl(nullptr);
	CookieImpl copy(name().view(), value().view());
	copy.set_domain(domain().view());
	copy.set_path(path().view());
	copy.set_creation_time(creation_time());
	copy.set_expires(expires());
	if (is_http_only()) copy.make_http_only();
	if (is_secure()) copy.make_secure();
	return copy;
}

CookieText CookieImpl::text(int32_t (*get)(const bw_Cookie*, bw_StrSlice*)) const {
	bw_StrSlice slice = empty_str_slice();
	if (get(inner_, &slice) <= 0) return CookieText(as_string_view(slice));
	// A new text: copied, and the lower layer's released at once.
	CookieText owned(to_owned_string(slice));
	bw_string_free(slice);
	return owned;
}

void CookieImpl::set_name(std::string_view text) { bw_Cookie_setName(inner_, to_cstr_slice(text)); }
void CookieImpl::set_value(std::string_view text) { bw_Cookie_setValue(inner_, to_cstr_slice(text)); }
void CookieImpl::set_domain(std::string_view text) { bw_Cookie_setDomain(inner_, to_cstr_slice(text)); }
void CookieImpl::set_path(std::string_view text) { bw_Cookie_setPath(inner_, to_cstr_slice(text)); }

std::optional<CookieTime> Cookie::expires() const {
	uint64_t count = inner_.expires();
	if (count == 0) return std::nullopt;
	return cookie_time_from_milliseconds(count);
}

Cookie& Cookie::set_creation_time(CookieTime time) {
	inner_.set_creation_time(cookie_time_to_milliseconds(time));
	return *this;
}

Cookie& Cookie::set_expires(CookieTime time) {
	// 0 would mean no expiry at all.
	uint64_t count = cookie_time_to_milliseconds(time);
	inner_.set_expires(count == 0 ? 1 : count);
	return *this;
}

} // namespace bw
