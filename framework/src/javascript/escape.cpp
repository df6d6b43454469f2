#include "javascript/escape.hpp"

#include "core/utf8.hpp"
#include "javascript/text_writer.hpp"

#include <array>
#include <cstdint>
#include <cstring>

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

// Writes \xNN at p and returns its length.
std::size_t write_hex_byte(char* p, char32_t c) {
	p[0] = '\\';
	p[1] = 'x';
	p[2] = kHex[(c >> 4) & 0xf];
	p[3] = kHex[c & 0xf];
	return 4;
}

// Writes \u{...} at p (at most 10 characters) and returns its length.
std::size_t write_unicode_escape(char* p, char32_t c) {
	std::size_t n = 0;
	p[n++] = '\\';
	p[n++] = 'u';
	p[n++] = '{';
	int shift = 20;
	while (shift > 0 && (c >> shift) == 0) shift -= 4;
	for (; shift >= 0; shift -= 4) p[n++] = kHex[(c >> shift) & 0xf];
	p[n++] = '}';
	return n;
}

void append_hex_byte(std::string& out, char32_t c) {
	char text[4];
	out.append(text, write_hex_byte(text, c));
}

void append_unicode_escape(std::string& out, char32_t c) {
	char text[12];
	out.append(text, write_unicode_escape(text, c));
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

void js_detail::write_js_string_literal(TextWriter& out, std::string_view text) {
	std::size_t pos = 0;
	const std::size_t n = text.size();
	while (pos < n && is_safe(text[pos])) ++pos;
	if (pos == n) {
		// Nothing to escape: the text goes out as it is.
		char* p = out.room(n + 2);
		p[0] = '"';
		if (n != 0) std::memcpy(p + 1, text.data(), n);
		p[n + 1] = '"';
		out.advance(n + 2);
		return;
	}
	out.room(2 * n + 2);
	out.put('"');
	out.put(text.substr(0, pos));
	while (pos < n) {
		std::size_t run = pos;
		while (run < n && is_safe(text[run])) ++run;
		out.put(text.substr(pos, run - pos));
		pos = run;
		if (pos == n) break;
		char* p = out.room(12);
		char c = text[pos];
		if (static_cast<unsigned char>(c) < 0x80) {
			++pos;
			char e = short_escape(c);
			// "\0" before a digit would read as an octal escape, or fail in strict code.
			if (e == '0' && pos < n && text[pos] >= '0' && text[pos] <= '9') e = 0;
			if (e) {
				p[0] = '\\';
				p[1] = e;
				out.advance(2);
			} else {
				out.advance(write_hex_byte(p, static_cast<unsigned char>(c)));
			}
			continue;
		}
		char32_t code_point = utf8::next_code_point(text, pos).value_or(U'\ufffd');
		out.advance(code_point < 0x100 ? write_hex_byte(p, code_point) : write_unicode_escape(p, code_point));
	}
	out.put('"');
}

void append_js_string_literal(std::string& out, std::string_view text) {
	js_detail::TextWriter writer(out);
	js_detail::write_js_string_literal(writer, text);
	writer.finish();
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
