// Where the engine keeps its user data (profile, cache).
#pragma once

#include <optional>
#include <string>

namespace bw::edge2 {

// None (the engine's default, a folder beside the executable) while the executable's folder is
// writable; otherwise the per-user folder %LOCALAPPDATA%\<executable name without extension>,
// created when missing. None also when that folder cannot be made: the engine then reports its
// own failure. Decided once per process.
std::optional<std::wstring> user_data_folder();

// The same decision for an executable at the given path, made anew.
std::optional<std::wstring> user_data_folder_for(const std::wstring& executable);

} // namespace bw::edge2
