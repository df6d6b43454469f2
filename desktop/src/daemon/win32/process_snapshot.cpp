#include "daemon/system.hpp"

#include <windows.h>

#include <tlhelp32.h>

namespace tarnwick::daemon::system {

namespace {

// Lossy: an unpaired surrogate becomes U+FFFD, which cannot affect the name test.
std::string to_utf8(const wchar_t* text) {
	int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
	if (size <= 1) return {};
	std::string out(static_cast<std::size_t>(size), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
	out.pop_back();
	return out;
}

} // namespace

bool visit_processes(const std::function<bool(std::uint64_t id, std::string_view name)>& visit) {
	HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
	if (snapshot == INVALID_HANDLE_VALUE) return false;
	PROCESSENTRY32W entry{};
	entry.dwSize = sizeof entry;
	bool found = false;
	for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) {
		found = visit(entry.th32ProcessID, to_utf8(entry.szExeFile));
	}
	CloseHandle(snapshot);
	return found;
}

} // namespace tarnwick::daemon::system
