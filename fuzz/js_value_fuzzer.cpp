// libFuzzer target for JsValue: from_json, from_string and the display form.
// Built and run by scripts/fuzz-javascript.sh.
#include "core/utf8.hpp"
#include "javascript/js_value.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using bw::BigFloat;
using bw::JsValue;

[[noreturn]] void fail(const char* what, std::string_view detail) {
	std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(detail.size()), detail.data());
	std::abort();
}

void check(bool ok, const char* what, std::string_view detail = {}) {
	if (!ok) fail(what, detail);
}

int hex_value(char c) {
	if (c >= '0' && c <= '9') return c - '0';
	if (c >= 'a' && c <= 'f') return c - 'a' + 10;
	return -1;
}

// Reads back a literal made by the display form, accepting nothing else it should not write.
std::optional<std::string> unescape_literal(std::string_view literal) {
	if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return std::nullopt;
	std::string out;
	for (std::size_t i = 1; i + 1 < literal.size();) {
		char c = literal[i++];
		if (static_cast<unsigned char>(c) >= 0x80 || c < 0x20 || c == '"' || c == '\'' || c == 0x7f) return std::nullopt;
		if (c != '\\') {
			out += c;
			continue;
		}
		if (i + 1 >= literal.size()) return std::nullopt;
		char e = literal[i++];
		std::string_view shorts = "0\0b\bt\tn\nv\vf\fr\r\"\"''";
		std::size_t at = std::string_view("0btnvfr\"'").find(e);
		if (at != std::string_view::npos) {
			if (e == '0' && hex_value(literal[i]) >= 0 && hex_value(literal[i]) <= 9) return std::nullopt; // octal
			out += shorts[2 * at + 1];
		} else if (e == 'x') {
			if (i + 2 >= literal.size() || hex_value(literal[i]) < 0 || hex_value(literal[i + 1]) < 0) return std::nullopt;
			char32_t cp = static_cast<char32_t>(hex_value(literal[i]) * 16 + hex_value(literal[i + 1]));
			i += 2;
			if (cp >= 0x20 && cp < 0x7f && cp != '\\' && cp != '"' && cp != '\'') return std::nullopt; // safe: never escaped
			bw::utf8::append_code_point(out, cp);
		} else if (e == 'u') {
			if (i >= literal.size() || literal[i++] != '{') return std::nullopt;
			char32_t cp = 0;
			std::size_t start = i;
			while (i < literal.size() && hex_value(literal[i]) >= 0) cp = cp * 16 + static_cast<char32_t>(hex_value(literal[i++]));
			if (i == start || i - start > 6 || literal[start] == '0' || i >= literal.size() || literal[i++] != '}') return std::nullopt;
			if (cp < 0x100 || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return std::nullopt;
			bw::utf8::append_code_point(out, cp);
		} else {
			return std::nullopt;
		}
	}
	return out;
}

std::size_t depth_of(const nlohmann::json& j) {
	std::size_t deepest = 0;
	if (j.is_structured())
		for (const auto& item : j) deepest = std::max(deepest, depth_of(item));
	return j.is_structured() ? deepest + 1 : 0;
}

void check_numbers_read_back(const JsValue& value) {
	if (const BigFloat* number = value.as_number()) {
		std::string text = number->to_string();
		check(BigFloat::parse(text) == *number, "number does not read back", text);
	} else if (const auto* items = value.as_array()) {
		for (const auto& item : *items) check_numbers_read_back(item);
	} else if (const auto* members = value.as_object()) {
		for (const auto& [key, member] : *members) check_numbers_read_back(member);
	}
}

bool has_digit_run(std::string_view text, std::size_t length) {
	std::size_t run = 0;
	for (char c : text) {
		run = c >= '0' && c <= '9' ? run + 1 : 0;
		if (run >= length) return true;
	}
	return false;
}

bool same_double(double a, double b) { return a == b || std::nextafter(a, b) == b; }

// Our value against nlohmann's own document of the same text.
bool matches(const JsValue& ours, const nlohmann::json& theirs) {
	switch (theirs.type()) {
	case nlohmann::json::value_t::null: return ours == JsValue::null();
	case nlohmann::json::value_t::boolean: return ours == JsValue::boolean(theirs.get<bool>());
	case nlohmann::json::value_t::string: return ours == JsValue::string(theirs.get<std::string>());
	case nlohmann::json::value_t::number_integer: return ours == JsValue::number(theirs.get<std::int64_t>());
	case nlohmann::json::value_t::number_unsigned: return ours == JsValue::number(theirs.get<std::uint64_t>());
	case nlohmann::json::value_t::number_float:
		return ours.as_number() && same_double(ours.as_number()->to_double(), theirs.get<double>());
	case nlohmann::json::value_t::array: {
		const auto* items = ours.as_array();
		if (!items || items->size() != theirs.size()) return false;
		for (std::size_t i = 0; i < items->size(); ++i)
			if (!matches((*items)[i], theirs[i])) return false;
		return true;
	}
	case nlohmann::json::value_t::object: {
		const auto* members = ours.as_object();
		if (!members || members->size() != theirs.size()) return false;
		for (const auto& [key, member] : theirs.items()) {
			auto found = members->find(key);
			if (found == members->end() || !matches(found->second, member)) return false;
		}
		return true;
	}
	default: return false;
	}
}

void fuzz_json(std::string_view text) {
	JsValue value = JsValue::from_json(text);
	nlohmann::json theirs = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
	if (!theirs.is_discarded()) {
		if (depth_of(theirs) > JsValue::max_depth)
			check(value == JsValue::other(std::string(text)), "too deep but read", text);
		else
			check(matches(value, theirs), "differs from nlohmann", text);
	} else if (value.kind() == JsValue::Kind::Other) {
		check(*value.as_other() == text, "Other is not the input", text);
	} else {
		// Only numbers past double's range make nlohmann give up where we read on.
		check(text.find_first_of("eE") != std::string_view::npos || has_digit_run(text, 309), "read what nlohmann rejects", text);
	}
	check_numbers_read_back(value);
	JsValue copy = value;
	check(copy == value, "copy differs", text);
	std::string display = value.to_string();
	check(value.to_string_unenclosed().view() == (value.as_string() ? *value.as_string() : display), "unenclosed", text);
	(void)value.to_debug_string();
}

void fuzz_script_text(std::string_view text) {
	JsValue value = JsValue::from_string(text);
	if (!text.empty() && text.front() >= '0' && text.front() <= '9')
		check(value.kind() == JsValue::Kind::Number || value == JsValue::other("unable to parse number: " + std::string(text)), "digit-led text", text);
	check_numbers_read_back(value);
	JsValue copy = value;
	check(copy == value, "copy differs", text);
	(void)value.to_string();
	(void)value.to_debug_string();
}

void fuzz_string_literal(std::string_view text) {
	std::string literal = JsValue::string(std::string(text)).to_string();
	auto decoded = unescape_literal(literal);
	check(decoded.has_value(), "malformed literal", literal);
	check(*decoded == bw::utf8::replace_invalid(text), "literal does not read back", literal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
	std::string_view text(reinterpret_cast<const char*>(data), size);
	fuzz_json(text);
	fuzz_script_text(text);
	fuzz_string_literal(text);
	if (auto number = BigFloat::parse(text)) check(BigFloat::parse(number->to_string()) == number, "reader round trip", text);
	return 0;
}
