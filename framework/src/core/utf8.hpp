// UTF-8 decoding helpers for texts that cross the layers.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bw::utf8 {

// Decodes the code point at pos and advances pos past it; std::nullopt (pos advanced by one byte)
// for an ill-formed sequence.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& pos);

bool is_valid(std::string_view text);

// The text with every ill-formed sequence replaced by U+FFFD.
std::string replace_invalid(std::string_view text);

void append_code_point(std::string& out, char32_t code_point);

} // namespace bw::utf8
