// Where the engine keeps its user data (profile, cache).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace bw::edge2 {

struct UserDataFolder {
	// None: the engine's default, a folder beside the executable.
	std::optional<std::wstring> folder;
	// Why the folder could not be made (a file in its place, no rights); S_OK when it is there.
	HRESULT failure = S_OK;
};

// The engine's default while the executable's folder is writable; otherwise the per-user folder
// %LOCALAPPDATA%\<executable name without extension>\WebView2, created when missing (the last
// component keeps it apart from an unrelated folder of the same name, as temp.exe would meet
// %LOCALAPPDATA%\Temp). Decided once per process.
UserDataFolder user_data_folder();

// The same decision for an executable at the given path, made anew.
UserDataFolder user_data_folder_for(const std::wstring& executable);

} // namespace bw::edge2
