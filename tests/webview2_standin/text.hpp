// Text helpers: UTF-16 from the caller, UTF-8 for the call log, CoTaskMemAlloc copies handed out.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace standin {

std::string utf8(std::wstring_view text);
std::wstring utf16(std::string_view text);

// The text as it appears in the call log: "null" for a null pointer, otherwise UTF-8 with
// backslashes and control characters escaped, so that every call stays on one line.
std::string logged(LPCWSTR text);
std::string logged(std::wstring_view text);

std::string hex(HRESULT hr);

// A NUL-terminated CoTaskMemAlloc copy, as the engine's getters hand out; null when out of memory.
LPWSTR co_task_copy(std::wstring_view text);

} // namespace standin
