#include "core/process.hpp"

#include <windows.h>

#include <shellapi.h>

namespace bw::process {

namespace {

// UTF-16 to UTF-8; with strict, unpaired surrogates fail instead of becoming U+FFFD.
std::optional<std::string> to_utf8(const std::wstring& wide, bool strict) {
	if (wide.empty()) return std::string();
	DWORD flags = strict ? WC_ERR_INVALID_CHARS : 0;
	int size = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
	if (size == 0) return std::nullopt;
	std::string out(static_cast<std::size_t>(size), '\0');
	WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
	return out;
}

} // namespace

std::vector<std::string> arguments() {
	int count = 0;
	LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
	std::vector<std::string> result;
	for (int i = 0; wide != nullptr && i < count; i++) result.push_back(*to_utf8(wide[i], false));
	LocalFree(wide);
	return result;
}

std::optional<std::filesystem::path> executable_path() {
	std::wstring buffer(MAX_PATH, L'\0');
	for (;;) {
		DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
		if (length == 0) return std::nullopt;
		if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
		buffer.resize(buffer.size() * 2);
	}
}

std::optional<std::string> path_to_utf8(const std::filesystem::path& path) { return to_utf8(path.native(), true); }

std::string path_to_utf8_lossy(const std::filesystem::path& path) { return *to_utf8(path.native(), false); }

} // namespace bw::process
