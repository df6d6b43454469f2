// JavaScript values: results of scripts run in a page and the elements of messages it posts.
#pragma once

#include "javascript/big_float.hpp"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace bw {

class JsValue;

using JsArray = std::vector<JsValue>;
// Iteration order is unspecified. (libstdc++ allows the incomplete mapped type here.)
using JsObject = std::unordered_map<std::string, JsValue>;

// A text that either borrows from a value or owns what was made for it. A borrowed text stays
// valid while the value it came from lives unchanged.
class JsText {
public:
	explicit JsText(std::string_view borrowed) noexcept : text_(borrowed) {}
	explicit JsText(std::string owned) noexcept : text_(std::move(owned)) {}

	std::string_view view() const noexcept {
		if (const auto* owned = std::get_if<std::string>(&text_)) return *owned;
		return std::get<std::string_view>(text_);
	}
	operator std::string_view() const noexcept { return view(); } // NOLINT: a text is a text
	bool is_borrowed() const noexcept { return std::holds_alternative<std::string_view>(text_); }
	std::string to_owned() const& { return std::string(view()); }
	std::string to_owned() && {
		if (auto* owned = std::get_if<std::string>(&text_)) return std::move(*owned);
		return std::string(std::get<std::string_view>(text_));
	}

	friend bool operator==(const JsText& a, std::string_view b) noexcept { return a.view() == b; }
	friend std::ostream& operator<<(std::ostream& out, const JsText& text);

private:
	std::variant<std::string_view, std::string> text_;
};

// A JavaScript value. It owns its payload entirely: copies are deep and share nothing.
class JsValue {
public:
	// In this order; the payload variant below uses the same indices.
	enum class Kind : std::uint8_t { Array, Boolean, Null, Number, Object, String, Undefined, Other };

	// Values nested deeper than this are not read (from_json gives Other for the whole text,
	// from_string Other for the nested piece), which keeps the recursive copy, display and
	// destruction well inside a thread's stack (about 1.5 KiB a level in an unoptimised build).
	static constexpr std::size_t max_depth = 256;

	JsValue() noexcept;

	static JsValue array(JsArray items = {});
	static JsValue boolean(bool value);
	static JsValue null();
	static JsValue number(BigFloat value);
	static JsValue object(JsObject members = {});
	static JsValue string(std::string text);
	static JsValue undefined();
	static JsValue other(std::string text);

	// Reads JSON text; anything that is not a JSON text (or nests deeper than max_depth) gives
	// Other holding the whole input. Numbers keep their exact decimal value up to 40 significant
	// digits. When a key occurs twice in an object, the last one wins.
	static JsValue from_json(std::string_view json);

	// Reads script-like text without trimming or unescaping anything: empty text is Other; a text
	// led by a digit is a Number if BigFloat reads all of it, otherwise Other("unable to parse
	// number: " + text); "undefined", "false", "null" and "true" are themselves; text in double
	// quotes is a String of what lies between them (a lone double quote is Other); "[...]" is an
	// Array of the pieces between commas, each read the same way; "{...}" is an Object of the
	// pieces between commas that hold a colon, keyed by the text before the first colon; anything
	// else is Other. Commas inside nested brackets or quotes split all the same.
	static JsValue from_string(std::string_view text);

	Kind kind() const noexcept { return static_cast<Kind>(payload_.index()); }

	const JsArray* as_array() const noexcept;
	JsArray* as_array() noexcept;
	std::optional<bool> as_boolean() const noexcept;
	const BigFloat* as_number() const noexcept;
	const JsObject* as_object() const noexcept;
	JsObject* as_object() noexcept;
	const std::string* as_string() const noexcept;
	const std::string* as_other() const noexcept;

	// The display form: JavaScript source text for the value. Object keys are quoted and escaped
	// like String values, so a key cannot end its literal early.
	std::string to_string() const;
	void append_to(std::string& out) const;

	// A String's own text, borrowed; any other value's display form.
	JsText to_string_unenclosed() const;

	// The kind's name and, when there is a payload, the payload in parentheses:
	// Array([Number(1), String("x")]), Object({"a": Null}), Undefined.
	std::string to_debug_string() const;

	friend bool operator==(const JsValue& a, const JsValue& b) { return a.payload_ == b.payload_; }

	// Writes the display form.
	friend std::ostream& operator<<(std::ostream& out, const JsValue& value);

private:
	template <std::size_t I, class... Args>
	explicit JsValue(std::in_place_index_t<I> tag, Args&&... args) : payload_(tag, std::forward<Args>(args)...) {}

	void append_debug(std::string& out) const;

	std::variant<JsArray, bool, std::monostate, BigFloat, JsObject, std::string, std::monostate, std::string> payload_;
};

namespace js_detail {
constexpr std::size_t index(JsValue::Kind kind) { return static_cast<std::size_t>(kind); }
} // namespace js_detail

inline JsValue::JsValue() noexcept : payload_(std::in_place_index<js_detail::index(Kind::Undefined)>) {}

inline JsValue JsValue::array(JsArray items) { return JsValue(std::in_place_index<js_detail::index(Kind::Array)>, std::move(items)); }
inline JsValue JsValue::boolean(bool value) { return JsValue(std::in_place_index<js_detail::index(Kind::Boolean)>, value); }
inline JsValue JsValue::null() { return JsValue(std::in_place_index<js_detail::index(Kind::Null)>); }
inline JsValue JsValue::number(BigFloat value) { return JsValue(std::in_place_index<js_detail::index(Kind::Number)>, std::move(value)); }
inline JsValue JsValue::object(JsObject members) { return JsValue(std::in_place_index<js_detail::index(Kind::Object)>, std::move(members)); }
inline JsValue JsValue::string(std::string text) { return JsValue(std::in_place_index<js_detail::index(Kind::String)>, std::move(text)); }
inline JsValue JsValue::undefined() { return JsValue(); }
inline JsValue JsValue::other(std::string text) { return JsValue(std::in_place_index<js_detail::index(Kind::Other)>, std::move(text)); }

inline const JsArray* JsValue::as_array() const noexcept { return std::get_if<js_detail::index(Kind::Array)>(&payload_); }
inline JsArray* JsValue::as_array() noexcept { return std::get_if<js_detail::index(Kind::Array)>(&payload_); }
inline std::optional<bool> JsValue::as_boolean() const noexcept {
	if (const bool* value = std::get_if<js_detail::index(Kind::Boolean)>(&payload_)) return *value;
	return std::nullopt;
}
inline const BigFloat* JsValue::as_number() const noexcept { return std::get_if<js_detail::index(Kind::Number)>(&payload_); }
inline const JsObject* JsValue::as_object() const noexcept { return std::get_if<js_detail::index(Kind::Object)>(&payload_); }
inline JsObject* JsValue::as_object() noexcept { return std::get_if<js_detail::index(Kind::Object)>(&payload_); }
inline const std::string* JsValue::as_string() const noexcept { return std::get_if<js_detail::index(Kind::String)>(&payload_); }
inline const std::string* JsValue::as_other() const noexcept { return std::get_if<js_detail::index(Kind::Other)>(&payload_); }

} // namespace bw
