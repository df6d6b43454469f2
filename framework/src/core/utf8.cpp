#include "core/utf8.hpp"

namespace bw::utf8 {

std::optional<char32_t> next_code_point(std::string_view text, std::size_t& pos) {
	auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
	unsigned char lead = byte(pos);
	if (lead < 0x80) {
		pos += 1;
		return lead;
	}
	std::size_t length;
	char32_t code_point;
	char32_t min;
	if (lead >= 0xc2 && lead <= 0xdf) {
		length = 2, code_point = lead & 0x1f, min = 0x80;
	} else if (lead >= 0xe0 && lead <= 0xef) {
		length = 3, code_point = lead & 0x0f, min = 0x800;
	} else if (lead >= 0xf0 && lead <= 0xf4) {
		length = 4, code_point = lead & 0x07, min = 0x10000;
	} else {
		pos += 1;
		return std::nullopt;
	}
	if (pos + length > text.size()) {
		pos += 1;
		return std::nullopt;
	}
	for (std::size_t i = 1; i < length; i++) {
		unsigned char continuation = byte(pos + i);
		if ((continuation & 0xc0) != 0x80) {
			pos += 1;
			return std::nullopt;
		}
		code_point = (code_point << 6) | (continuation & 0x3f);
	}
	// Overlong forms, surrogates and values past U+10FFFF are ill-formed.
	if (code_point < min || (code_point >= 0xd800 && code_point <= 0xdfff) || code_point > 0x10ffff) {
		pos += 1;
		return std::nullopt;
	}
	pos += length;
	return code_point;
}

bool is_valid(std::string_view text) {
	for (std::size_t pos = 0; pos < text.size();)
		if (!next_code_point(text, pos)) return false;
	return true;
}

std::string replace_invalid(std::string_view text) {
	std::string out;
	out.reserve(text.size());
	for (std::size_t pos = 0; pos < text.size();) {
		std::size_t start = pos;
		if (next_code_point(text, pos))
			out.append(text.substr(start, pos - start));
		else
			append_code_point(out, 0xfffd);
	}
	return out;
}

void append_code_point(std::string& out, char32_t cp) {
	if (cp < 0x80) {
		out.push_back(static_cast<char>(cp));
	} else if (cp < 0x800) {
		out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
	} else if (cp < 0x10000) {
		out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
	} else {
		out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
		out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
		out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
	}
}

} // namespace bw::utf8
