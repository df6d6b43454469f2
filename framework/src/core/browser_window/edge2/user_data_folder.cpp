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

} // namespace

std::optional<std::wstring> user_data_folder_for(const std::wstring& executable) {
	std::filesystem::path path(executable);
	if (writable(path.parent_path())) return std::nullopt;
	std::optional<std::filesystem::path> base = local_app_data();
	if (!base) return std::nullopt;
	std::filesystem::path folder = *base / path.stem();
	if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
	return folder.wstring();
}

std::optional<std::wstring> user_data_folder() {
	static const std::optional<std::wstring> folder = [] {
		std::optional<std::filesystem::path> executable = process::executable_path();
		return executable ? user_data_folder_for(executable->wstring()) : std::nullopt;
	}();
	return folder;
}

} // namespace bw::edge2
