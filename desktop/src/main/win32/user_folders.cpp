#include "user_folders.hpp"

#include <windows.h>

#include <shlobj.h>

namespace tarnwick::user_folders {

namespace {

std::filesystem::path known_or_temp(REFKNOWNFOLDERID id) {
	PWSTR path = nullptr;
	std::filesystem::path result;
	if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) result = path;
	CoTaskMemFree(path);
	if (result.empty()) {
		wchar_t temp[MAX_PATH + 1];
		DWORD length = GetTempPathW(MAX_PATH + 1, temp);
		result = std::filesystem::path(std::wstring(temp, length));
	}
	return result;
}

std::filesystem::path known(REFKNOWNFOLDERID id) { return known_or_temp(id) / L"Tarnwick"; }

} // namespace

std::filesystem::path config() { return known(FOLDERID_RoamingAppData); }

std::filesystem::path state() { return known(FOLDERID_LocalAppData); }

std::filesystem::path downloads() { return known_or_temp(FOLDERID_Downloads); }

// The invariant locale's upper case, as NTFS compares names.
std::filesystem::path same_file_key(const std::filesystem::path& path) {
	std::wstring text = path.native();
	if (!text.empty())
		LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(text.size()), text.data(), static_cast<int>(text.size()), nullptr,
		              nullptr, 0);
	return text;
}

} // namespace tarnwick::user_folders
