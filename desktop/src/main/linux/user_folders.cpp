#include "user_folders.hpp"

#include <glib.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tarnwick::user_folders {

namespace {

std::filesystem::path home() {
	if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
	if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
	return "/tmp";
}

// An XDG base directory counts only when absolute; otherwise the default under the home folder.
std::filesystem::path base(const char* variable, const char* fallback) {
	if (const char* value = std::getenv(variable); value != nullptr && *value == '/') return value;
	return home() / fallback;
}

} // namespace

std::filesystem::path config() { return base("XDG_CONFIG_HOME", ".config") / "tarnwick"; }

std::filesystem::path state() { return base("XDG_STATE_HOME", ".local/state") / "tarnwick"; }

std::filesystem::path downloads() {
	// user-dirs.dirs may name the home folder itself, which means "no such folder".
	const char* configured = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
	if (configured != nullptr && *configured == '/' && std::filesystem::path(configured) != home()) return configured;
	return home() / "Downloads";
}

std::filesystem::path same_file_key(const std::filesystem::path& path) { return path; }

} // namespace tarnwick::user_folders
