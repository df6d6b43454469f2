// The entry is the value "Tarnwick" under the user's Run key: the program's full path quoted, then
// --minimized.
#include "desktop/autostart.hpp"

#include "launcher_log.hpp"

#include "core/process.hpp"

#include <windows.h>

#include <optional>
#include <string>

namespace tarnwick::autostart {

namespace {

constexpr const wchar_t* run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* value_name = L"Tarnwick";

std::optional<std::wstring> command() {
	wchar_t data[1024];
	DWORD size = sizeof data;
	if (RegGetValueW(HKEY_CURRENT_USER, run_key, value_name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::nullopt;
	return std::wstring(data);
}

std::wstring program_of(const std::wstring& line) {
	if (line.starts_with(L'"')) return line.substr(1, line.find(L'"', 1) == std::wstring::npos ? std::wstring::npos : line.find(L'"', 1) - 1);
	return line.substr(0, line.find(L' '));
}

bool write(const std::filesystem::path& program) {
	std::wstring line = L"\"" + program.wstring() + L"\" --minimized";
	HKEY key = nullptr;
	if (RegCreateKeyExW(HKEY_CURRENT_USER, run_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
	LSTATUS status = RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()), static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
	RegCloseKey(key);
	return status == ERROR_SUCCESS;
}

} // namespace

bool enabled() { return command().has_value(); }

bool set(bool on, const std::filesystem::path& program) {
	bool done = false;
	if (on) {
		done = write(program);
	} else {
		HKEY key = nullptr;
		if (RegOpenKeyExW(HKEY_CURRENT_USER, run_key, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
			LSTATUS status = RegDeleteValueW(key, value_name);
			done = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
			RegCloseKey(key);
		}
	}
	launcher_log::write(done ? std::string(on ? "start at login: wrote" : "start at login: removed") + " the Run value Tarnwick"
	                         : std::string("start at login: cannot ") + (on ? "write" : "remove") + " the Run value Tarnwick");
	return done;
}

void repair(const std::filesystem::path& program) {
	std::optional<std::wstring> line = command();
	if (!line) return;
	std::filesystem::path started = program_of(*line);
	std::error_code error;
	if (std::filesystem::exists(started, error)) return;
	launcher_log::write("start at login: the Run value starts " + bw::process::path_to_utf8_lossy(started) + ", which no longer exists; rewritten to " +
	                    bw::process::path_to_utf8_lossy(program));
	if (!write(program)) launcher_log::write("start at login: cannot rewrite the Run value Tarnwick");
}

} // namespace tarnwick::autostart
