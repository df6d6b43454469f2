#include "javascript/js_value.hpp"

#include "javascript/escape.hpp"
#include "javascript/text_writer.hpp"

#include <cstring>
#include <ostream>
#include <type_traits>

namespace bw {

using js_detail::index;

// Growing an array moves its elements instead of copying them deeply.
static_assert(std::is_nothrow_move_constructible_v<JsValue>);

std::ostream& operator<<(std::ostream& out, const JsText& text) { return out << text.view(); }

namespace {

void write_display(js_detail::TextWriter& out, const JsValue& value) {
	switch (value.kind()) {
	case JsValue::Kind::Array: {
		out.put('[');
		const JsArray& items = *value.as_array();
		for (std::size_t i = 0; i < items.size(); ++i) {
			if (i != 0) out.put(',');
			// The members of objects lie apart in memory: fetching the next item's first member
			// while this item is written hides most of the wait for it.
			if (i + 1 < items.size())
				if (const JsObject* next = items[i + 1].as_object(); next != nullptr && !next->empty()) __builtin_prefetch(&*next->begin());
			write_display(out, items[i]);
		}
		out.put(']');
		break;
	}
	case JsValue::Kind::Boolean: out.put(*value.as_boolean() ? std::string_view("true") : std::string_view("false")); break;
	case JsValue::Kind::Null: out.put("null"); break;
	case JsValue::Kind::Number: {
		char* start = out.room(BigFloat::max_text_size);
		out.advance(static_cast<std::size_t>(value.as_number()->write(start) - start));
		break;
	}
	case JsValue::Kind::Object: {
		out.put('{');
		bool first = true;
		const JsObject& members = *value.as_object();
		for (auto it = members.begin(); it != members.end();) {
			auto next = std::next(it);
			// Map nodes lie apart in memory; fetching the next one early hides most of the wait.
			if (next != members.end()) __builtin_prefetch(&*next);
			const auto& [key, member] = *it;
			it = next;
			if (!first) out.put(',');
			first = false;
			// Keys are quoted like strings: a key holding a quote or a line break must not end the
			// literal early and turn the rest of the key into script.
			js_detail::write_js_string_literal(out, key);
			out.put(':');
			write_display(out, member);
		}
		out.put('}');
		break;
	}
	case JsValue::Kind::String: js_detail::write_js_string_literal(out, *value.as_string()); break;
	case JsValue::Kind::Undefined: out.put("undefined"); break;
	case JsValue::Kind::Other: out.put(*value.as_other()); break;
	}
}

} // namespace

void JsValue::append_to(std::string& out) const {
	js_detail::TextWriter writer(out);
	write_display(writer, *this);
	writer.finish();
}

std::string JsValue::to_string() const {
	std::string out;
	append_to(out);
	return out;
}

JsText JsValue::to_string_unenclosed() const {
	if (const std::string* text = as_string()) return JsText(std::string_view(*text));
	return JsText(to_string());
}

std::ostream& operator<<(std::ostream& out, const JsValue& value) { return out << value.to_string(); }

namespace {

constexpr std::string_view kKindNames[] = {"Array", "Boolean", "Null", "Number", "Object", "String", "Undefined", "Other"};

} // namespace

void JsValue::append_debug(std::string& out) const {
	out += kKindNames[payload_.index()];
	switch (kind()) {
	case Kind::Null:
	case Kind::Undefined: return;
	case Kind::Array: {
		out += "([";
		bool first = true;
		for (const JsValue& item : std::get<index(Kind::Array)>(payload_)) {
			if (!first) out += ", ";
			first = false;
			item.append_debug(out);
		}
		out += "])";
		return;
	}
	case Kind::Object: {
		out += "({";
		bool first = true;
		for (const auto& [key, member] : std::get<index(Kind::Object)>(payload_)) {
			if (!first) out += ", ";
			first = false;
			append_debug_quoted(out, key);
			out += ": ";
			member.append_debug(out);
		}
		out += "})";
		return;
	}
	case Kind::Boolean: out += std::get<index(Kind::Boolean)>(payload_) ? "(true)" : "(false)"; return;
	case Kind::Number:
		out += '(';
		std::get<index(Kind::Number)>(payload_).append_to(out);
		out += ')';
		return;
	case Kind::String:
	case Kind::Other:
		out += '(';
		append_debug_quoted(out, kind() == Kind::String ? *as_string() : *as_other());
		out += ')';
		return;
	}
}

std::string JsValue::to_debug_string() const {
	std::string out;
	append_debug(out);
	return out;
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Calls f with each piece of the text between commas, empty pieces included.
template <class F>
void for_each_comma_piece(std::string_view text, F&& f) {
	for (;;) {
		std::size_t comma = text.find(',');
		f(text.substr(0, comma));
		if (comma == std::string_view::npos) return;
		text.remove_prefix(comma + 1);
	}
}

JsValue read_script_text(std::string_view text, std::size_t depth) {
	if (text.empty()) return JsValue::other(std::string());
	if (is_digit(text.front())) {
		if (auto number = BigFloat::parse(text)) return JsValue::number(*number);
		return JsValue::other("unable to parse number: " + std::string(text));
	}
	if (text == "undefined") return JsValue::undefined();
	if (text == "false") return JsValue::boolean(false);
	if (text == "null") return JsValue::null();
	if (text == "true") return JsValue::boolean(true);
	// One character is both the first and the last: a lone quote or bracket stays Other.
	if (text.size() < 2) return JsValue::other(std::string(text));
	char first = text.front();
	char last = text.back();
	std::string_view inner = text.substr(1, text.size() - 2);
	if (first == '"' && last == '"') return JsValue::string(std::string(inner));
	if ((first == '[' && last == ']') || (first == '{' && last == '}')) {
		if (depth >= JsValue::max_depth) return JsValue::other(std::string(text));
		if (first == '[') {
			JsArray items;
			for_each_comma_piece(inner, [&](std::string_view piece) { items.push_back(read_script_text(piece, depth + 1)); });
			return JsValue::array(std::move(items));
		}
		JsObject members;
		for_each_comma_piece(inner, [&](std::string_view piece) {
			std::size_t colon = piece.find(':');
			if (colon == std::string_view::npos) return;
			members.insert_or_assign(std::string(piece.substr(0, colon)), read_script_text(piece.substr(colon + 1), depth + 1));
		});
		return JsValue::object(std::move(members));
	}
	return JsValue::other(std::string(text));
}

} // namespace

JsValue JsValue::from_string(std::string_view text) { return read_script_text(text, 0); }

} // namespace bw
