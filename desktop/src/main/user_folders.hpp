// The per-user folders the launcher keeps its files in; each platform has its own rules.
#pragma once

#include <filesystem>

namespace tarnwick::user_folders {

// Settings that should survive: $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick), %APPDATA%\Tarnwick.
std::filesystem::path config();
// Logs: $XDG_STATE_HOME/tarnwick (~/.local/state/tarnwick), %LOCALAPPDATA%\Tarnwick.
std::filesystem::path state();
// Where downloads go: the user's Downloads folder (XDG user dirs, else ~/Downloads; the known
// folder Downloads). Not created here.
std::filesystem::path downloads();

// The path as the file system compares names: on Windows names that differ only in case are one.
std::filesystem::path same_file_key(const std::filesystem::path& path);

} // namespace tarnwick::user_folders
