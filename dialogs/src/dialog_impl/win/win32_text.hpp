// Texts at Win32 calls: UTF-8 to UTF-16 and back, and system errors as OsError values.
#pragma once

#include "error.hpp"

#include <windows.h>

#include <string>
#include <string_view>

namespace bw::dialogs::impl {

// Ill-formed UTF-8 becomes U+FFFD; an embedded NUL is kept, so the C string ends there.
std::wstring widen(std::string_view text);

// The system's text for a Win32 error code, without its trailing line break.
OsError os_error(DWORD code);

} // namespace bw::dialogs::impl
