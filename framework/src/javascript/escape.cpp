#include "javascript/escape.hpp"

#include "core/utf8.hpp"

#include <array>
#include <cstdint>

namespace bw {

namespace {

constexpr std::string_view kSafe =
	" -_0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&()*+,./:;<=>?@[]^`{|}~";

constexpr std::array<bool, 256> kIsSafe = [] {
	std::array<bool, 256> table{};
	for (char c : kSafe) table[static_cast<unsigned char>(c)] = true;
	return table;
}();
static_assert(kSafe.size() == 92);

constexpr char kHex[] = "0123456789abcdef";

bool is_safe(char c) { return kIsSafe[static_cast<unsigned char>(c)]; }

void append_hex_byte(std::string& out, char32_t c) {
	char text[4] = {'\\', 'x', kHex[(c >> 4) & 0xf], kHex[c & 0xf]};
	out.append(text, 4);
}

void append_unicode_escape(std::string& out, char32_t c) {
	char text[12] = {'\\', 'u', '{'};
	int n = 3;
	int shift = 20;
	while (shift > 0 && (c >> shift) == 0) shift -= 4;
	for (; shift >= 0; shift -= 4) text[n++] = kHex[(c >> shift) & 0xf];
	text[n++] = '}';
	out.append(text, static_cast<std::size_t>(n));
}

// The short escape of an ASCII character, or 0 when it has none.
char short_escape(char c) {
	switch (c) {
	case '\0': return '0';
	case '\b': return 'b';
	case '\t': return 't';
	case '\n': return 'n';
	case '\v': return 'v';
	case '\f': return 'f';
	case '\r': return 'r';
	case '"': return '"';
	case '\'': return '\'';
	default: return 0;
	}
}

} // namespace

void append_js_string_literal(std::string& out, std::string_view text) {
	std::size_t pos = 0;
	const std::size_t n = text.size();
	while (pos < n && is_safe(text[pos])) ++pos;
	if (pos == n) {
		// Nothing to escape: the text goes out as it is.
		out += '"';
		out.append(text);
		out += '"';
		return;
	}
	out.reserve(out.size() + 2 * n + 2);
	out += '"';
	out.append(text.data(), pos);
	while (pos < n) {
		std::size_t run = pos;
		while (run < n && is_safe(text[run])) ++run;
		out.append(text.data() + pos, run - pos);
		pos = run;
		if (pos == n) break;
		char c = text[pos];
		if (static_cast<unsigned char>(c) < 0x80) {
			++pos;
			char e = short_escape(c);
			// "\0" before a digit would read as an octal escape, or fail in strict code.
			if (e == '0' && pos < n && text[pos] >= '0' && text[pos] <= '9') e = 0;
			if (e) {
				out += '\\';
				out += e;
			} else {
				append_hex_byte(out, static_cast<unsigned char>(c));
			}
			continue;
		}
		char32_t code_point = utf8::next_code_point(text, pos).value_or(U'\ufffd');
		if (code_point < 0x100)
			append_hex_byte(out, code_point);
		else
			append_unicode_escape(out, code_point);
	}
	out += '"';
}

void append_debug_quoted(std::string& out, std::string_view text) {
	out += '"';
	for (std::size_t pos = 0; pos < text.size();) {
		std::size_t start = pos;
		auto code_point = utf8::next_code_point(text, pos);
		if (!code_point) {
			append_hex_byte(out, static_cast<unsigned char>(text[start]));
			continue;
		}
		switch (*code_point) {
		case '"': out += "\\\""; break;
		case '\\': out += "\\\\"; break;
		case '\n': out += "\\n"; break;
		case '\r': out += "\\r"; break;
		case '\t': out += "\\t"; break;
		case '\0': out += "\\0"; break;
		default:
			if (*code_point < 0x20 || *code_point == 0x7f)
				append_unicode_escape(out, *code_point);
			else
				out.append(text.data() + start, pos - start);
		}
	}
	out += '"';
}

} // namespace bw
