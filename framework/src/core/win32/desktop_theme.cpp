// The desktop's colour preference on Windows: the "app mode" of Settings > Personalization > Colors,
// which Windows keeps as AppsUseLightTheme (0 for dark) under the user's Personalize key. Without the
// value (before Windows 10 1809, or never chosen) programs use light colours.
#include "browser/page_capabilities.hpp"

#include <windows.h>

namespace bw {

bool desktop_prefers_dark() {
	DWORD light = 1;
	DWORD size = sizeof light;
	LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", L"AppsUseLightTheme",
	                              RRF_RT_REG_DWORD, nullptr, &light, &size);
	return status == ERROR_SUCCESS && light == 0;
}

} // namespace bw
