#include "dialog_impl/platform.hpp"

#include <glib.h>

namespace bw::dialogs::impl {

std::optional<std::filesystem::path> profile_folder() {
	const char* home = g_get_home_dir();
	if (home == nullptr || *home == '\0') return std::nullopt;
	return std::filesystem::path(home);
}

} // namespace bw::dialogs::impl
