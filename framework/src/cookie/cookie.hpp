// A cookie with its attributes, owning one lower-layer bw_Cookie.
#pragma once

#include <bw/cookie.h>

#include <chrono>
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace bw {

using CookieTime = std::chrono::system_clock::time_point;

// Milliseconds since 1970 as a time point: whole seconds, and the rest as nanoseconds. Counts past
// the time point's range (the year 2262) give its largest value.
CookieTime cookie_time_from_milliseconds(uint64_t milliseconds);
// The time point's milliseconds since 1970, sub-millisecond parts dropped. Before 1970: 0.
uint64_t cookie_time_to_milliseconds(CookieTime time);

// A text that either borrows from a cookie or owns a copy. A borrowed text stays valid while the
// cookie lives unchanged.
class CookieText {
public:
	explicit CookieText(std::string_view borrowed) noexcept : text_(borrowed) {}
	explicit CookieText(std::string owned) noexcept : text_(std::move(owned)) {}

	std::string_view view() const noexcept {
		if (const auto* owned = std::get_if<std::string>(&text_)) return *owned;
		return std::get<std::string_view>(text_);
	}
	operator std::string_view() const noexcept { return view(); } // NOLINT: a text is a text
	bool is_borrowed() const noexcept { return std::holds_alternative<std::string_view>(text_); }
	std::string to_owned() const { return std::string(view()); }

	friend bool operator==(const CookieText& a, std::string_view b) noexcept { return a.view() == b; }

private:
	std::variant<std::string_view, std::string> text_;
};

class CookieImpl;

// What a cookie backend offers.
template <class T>
concept CookieExt = requires(T& cookie, const T& read, std::string_view text, uint64_t milliseconds) {
	{ read.name() } -> std::same_as<CookieText>;
	{ read.value() } -> std::same_as<CookieText>;
	{ read.domain() } -> std::same_as<CookieText>;
	{ read.path() } -> std::same_as<CookieText>;
	{ read.creation_time() } -> std::same_as<uint64_t>;
	{ read.expires() } -> std::same_as<uint64_t>;
	{ read.is_http_only() } -> std::same_as<bool>;
	{ read.is_secure() } -> std::same_as<bool>;
	cookie.set_name(text);
	cookie.set_value(text);
	cookie.set_domain(text);
	cookie.set_path(text);
	cookie.set_creation_time(milliseconds);
	cookie.set_expires(milliseconds);
	cookie.make_http_only();
	cookie.make_secure();
};

// The backend over the lower layer: owns its bw_Cookie (which may be null: an engine without
// cookies makes none) and speaks the lower layer's units.
class CookieImpl {
public:
	explicit CookieImpl(bw_Cookie* inner) noexcept : inner_(inner) {}
	CookieImpl(std::string_view name, std::string_view value);
	CookieImpl(CookieImpl&& other) noexcept : inner_(std::exchange(other.inner_, nullptr)) {}
	CookieImpl& operator=(CookieImpl&& other) noexcept;
	CookieImpl(const CookieImpl&) = delete;
	CookieImpl& operator=(const CookieImpl&) = delete;
	~CookieImpl() { bw_Cookie_free(inner_); }

	// A cookie of its own with the same name, value, domain, path, times and flags.
	CookieImpl clone() const;

	CookieText name() const { return text(bw_Cookie_getName); }
	CookieText value() const { return text(bw_Cookie_getValue); }
	CookieText domain() const { return text(bw_Cookie_getDomain); }
	CookieText path() const { return text(bw_Cookie_getPath); }
	uint64_t creation_time() const { return bw_Cookie_getCreationTime(inner_); }
	uint64_t expires() const { return bw_Cookie_getExpires(inner_); }
	bool is_http_only() const { return bw_Cookie_isHttpOnly(inner_) > 0; }
	bool is_secure() const { return bw_Cookie_isSecure(inner_) > 0; }

	void set_name(std::string_view text);
	void set_value(std::string_view text);
	void set_domain(std::string_view text);
	void set_path(std::string_view text);
	void set_creation_time(uint64_t milliseconds) { bw_Cookie_setCreationTime(inner_, milliseconds); }
	void set_expires(uint64_t milliseconds) { bw_Cookie_setExpires(inner_, milliseconds); }
	void make_http_only() { bw_Cookie_makeHttpOnly(inner_); }
	void make_secure() { bw_Cookie_makeSecure(inner_); }

	const bw_Cookie* inner() const { return inner_; }

private:
	CookieText text(int32_t (*get)(const bw_Cookie*, bw_StrSlice*)) const;

	bw_Cookie* inner_;
};

static_assert(CookieExt<CookieImpl>);

// A cookie. Made with a name and a value; the rest is set with the chainable setters.
class Cookie {
public:
	Cookie(std::string_view name, std::string_view value) : inner_(name, value) {}
	explicit Cookie(CookieImpl inner) noexcept : inner_(std::move(inner)) {}

	CookieText name() const { return inner_.name(); }
	CookieText value() const { return inner_.value(); }
	CookieText domain() const { return inner_.domain(); }
	CookieText path() const { return inner_.path(); }
	CookieTime creation_time() const { return cookie_time_from_milliseconds(inner_.creation_time()); }
	// None for a session cookie.
	std::optional<CookieTime> expires() const;
	bool is_http_only() const { return inner_.is_http_only(); }
	bool is_secure() const { return inner_.is_secure(); }

	Cookie& set_name(std::string_view name) { return inner_.set_name(name), *this; }
	Cookie& set_value(std::string_view value) { return inner_.set_value(value), *this; }
	Cookie& set_domain(std::string_view domain) { return inner_.set_domain(domain), *this; }
	Cookie& set_path(std::string_view path) { return inner_.set_path(path), *this; }
	// Times before 1970 count as 1970.
	Cookie& set_creation_time(CookieTime time);
	// An expiry cannot be removed once set. One before 1970 (or in its first millisecond) still
	// makes an expired cookie, not one without expiry.
	Cookie& set_expires(CookieTime time);
	Cookie& make_http_only() { return inner_.make_http_only(), *this; }
	Cookie& make_secure() { return inner_.make_secure(), *this; }

	const CookieImpl& inner() const { return inner_; }

private:
	CookieImpl inner_;
};

} // namespace bw
