// Start at login: one entry of the desktop's (Linux: $XDG_CONFIG_HOME/autostart/tarnwick.desktop;
// Windows: the value "Tarnwick" under HKCU\Software\Microsoft\Windows\CurrentVersion\Run) that
// starts this program with --minimized. The entry itself is the truth: removed in the desktop's own
// settings, it is off here too.
#pragma once

#include <filesystem>

namespace tarnwick::autostart {

bool enabled();
// Writes the entry for the program, or removes it; false (and logged) when that failed.
bool set(bool on, const std::filesystem::path& program);
// At each start: an entry whose program no longer exists (the program moved) is rewritten to this
// program, and logged.
void repair(const std::filesystem::path& program);

} // namespace tarnwick::autostart
