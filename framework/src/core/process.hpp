// What the process knows about itself: its arguments, its executable, its paths as UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bw::process {

// All command-line arguments, the program path first, as UTF-8 with ill-formed sequences replaced.
std::vector<std::string> arguments();

// The running executable's path, or nothing when the system cannot tell.
std::optional<std::filesystem::path> executable_path();

// The path as UTF-8; nothing when it is not valid Unicode.
std::optional<std::string> path_to_utf8(const std::filesystem::path& path);
// The path as UTF-8 with ill-formed parts replaced by U+FFFD.
std::string path_to_utf8_lossy(const std::filesystem::path& path);

} // namespace bw::process
