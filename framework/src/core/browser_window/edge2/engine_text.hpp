// Texts at the engine boundary: UTF-8 inside, NUL-terminated UTF-16 at the engine, and the texts of
// the engine's failures.
#pragma once

#include "core/error.hpp"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace bw::edge2 {

// UTF-8 to UTF-16 for the engine. A NUL anywhere but as the very last character is refused with
// E_INVALIDARG; ill-formed UTF-8 becomes U+FFFD.
HRESULT to_engine_text(std::string_view text, std::wstring& out);

// UTF-16 from the engine to UTF-8, strictly: E_FAIL when the text is not valid UTF-16.
HRESULT from_engine_text(const wchar_t* text, std::string& out);

// A text the engine handed out through a getter that returned hr, as UTF-8; freed here in every
// case. Nothing when the getter failed or the text is not valid UTF-16.
std::optional<std::string> take_engine_text(HRESULT hr, LPWSTR text);

// The failure as an Error of the lower layer's Win32 kind.
Error hresult_error(HRESULT hr);
// The failure's message, for texts shown to people.
std::string hresult_message(HRESULT hr);
// The code in hexadecimal and the system's text for it: "0x80070005 Access is denied."
std::string hresult_summary(HRESULT hr);

} // namespace bw::edge2
