#include "user_folders.hpp"

#include <windows.h>

#include <shlobj.h>

namespace tarnwick::user_folders {

namespace {

std::filesystem::path known(REFKNOWNFOLDERID id) {
	PWSTR path = nullptr;
	std::filesystem::path result;
	if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) result = path;
	CoTaskMemFree(path);
	if (result.empty()) {
		wchar_t temp[MAX_PATH + 1];
		DWORD length = GetTempPathW(MAX_PATH + 1, temp);
		result = std::filesystem::path(std::wstring(temp, length));
	}
	return result / L"Tarnwick";
}

} // namespace

std::filesystem::path config() { return known(FOLDERID_RoamingAppData); }

std::filesystem::path state() { return known(FOLDERID_LocalAppData); }

} // namespace tarnwick::user_folders
