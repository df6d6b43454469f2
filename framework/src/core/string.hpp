// Passing texts across the seam to the lower layer.
#pragma once

#include <bw/string.h>

#include <string>
#include <string_view>

namespace bw {

// A borrowed view of the text for one lower-layer call; no copy.
inline bw_CStrSlice to_cstr_slice(std::string_view text) { return bw_CStrSlice{text.size(), text.data()}; }

inline bw_StrSlice empty_str_slice() { return bw_StrSlice{0, nullptr}; }

// Views a slice's bytes as they are (no copy, no validation).
inline std::string_view as_string_view(bw_StrSlice slice) {
	return slice.len == 0 ? std::string_view() : std::string_view(slice.data, slice.len);
}

// Copies exactly len bytes (no validation).
inline std::string to_owned_string(bw_StrSlice slice) { return std::string(as_string_view(slice)); }

} // namespace bw
