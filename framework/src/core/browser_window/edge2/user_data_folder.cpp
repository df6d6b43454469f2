#include "core/browser_window/edge2/user_data_folder.hpp"

#include "core/process.hpp"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>

namespace bw::edge2 {

namespace {

// Whether a file can be made in the folder: the engine's default folder would go there.
bool writable(const std::filesystem::path& folder) {
	std::filesystem::path probe = folder / (L".bw-write-probe-" + std::to_wstring(GetCurrentProcessId()));
	HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
	                          nullptr);
	if (file == INVALID_HANDLE_VALUE) return false;
	CloseHandle(file);
	return true;
}

std::optional<std::filesystem::path> local_app_data() {
	PWSTR path = nullptr;
	HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path);
	std::optional<std::filesystem::path> result;
	if (SUCCEEDED(hr) && path != nullptr) result = std::filesystem::path(path);
	CoTaskMemFree(path);
	return result;
}

// Makes the folder unless it is there; a file in its place is left alone and reported.
HRESULT make_folder(const std::filesystem::path& folder) {
	if (CreateDirectoryW(folder.c_str(), nullptr)) return S_OK;
	DWORD error = GetLastError();
	if (error != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(error);
	DWORD attributes = GetFileAttributesW(folder.c_str());
	return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

} // namespace

UserDataFolder user_data_folder_for(const std::wstring& executable) {
	std::filesystem::path path(executable);
	if (writable(path.parent_path())) return {};
	std::optional<std::filesystem::path> base = local_app_data();
	// The engine then reports its own failure with its default folder.
	if (!base) return {};
	std::filesystem::path program = *base / path.stem();
	std::filesystem::path folder = program / L"WebView2";
	HRESULT failure = make_folder(program);
	if (SUCCEEDED(failure)) failure = make_folder(folder);
	return {folder.wstring(), failure};
}

UserDataFolder user_data_folder() {
	static const UserDataFolder folder = [] {
		std::optional<std::filesystem::path> executable = process::executable_path();
		return executable ? user_data_folder_for(executable->wstring()) : UserDataFolder{};
	}();
	return folder;
}

} // namespace bw::edge2
