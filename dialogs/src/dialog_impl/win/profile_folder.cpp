#include "dialog_impl/platform.hpp"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace bw::dialogs::impl {

std::optional<std::filesystem::path> profile_folder() {
	PWSTR path = nullptr;
	HRESULT hr = SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &path);
	std::optional<std::filesystem::path> folder;
	if (SUCCEEDED(hr) && path != nullptr) folder = std::filesystem::path(path);
	// Released on failure too.
	CoTaskMemFree(path);
	return folder;
}

} // namespace bw::dialogs::impl
