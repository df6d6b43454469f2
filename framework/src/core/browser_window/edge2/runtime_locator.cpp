#include "core/browser_window/edge2/runtime_locator.hpp"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace bw::edge2 {

namespace {

// Stable, then the preview channels Beta, Dev and Canary.
constexpr const wchar_t* channel_guids[] = {
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
    L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",
    L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
};

constexpr int stable_channel = 0;

#if defined(__aarch64__) || defined(_M_ARM64)
constexpr wchar_t architecture[] = L"arm64";
#elif defined(__x86_64__) || defined(_M_X64)
constexpr wchar_t architecture[] = L"x64";
#else
constexpr wchar_t architecture[] = L"x86";
#endif

std::optional<std::wstring> read_text(HKEY root, REGSAM view, const std::wstring& subkey, const wchar_t* name) {
	HKEY key = nullptr;
	if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return std::nullopt;
	std::optional<std::wstring> text;
	DWORD bytes = 0;
	if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) == ERROR_SUCCESS && bytes >= sizeof(wchar_t)) {
		std::wstring value(bytes / sizeof(wchar_t), L'\0');
		if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(), &bytes) == ERROR_SUCCESS) {
			value.resize(wcsnlen(value.c_str(), value.size()));
			if (!value.empty()) text = std::move(value);
		}
	}
	RegCloseKey(key);
	return text;
}

std::wstring known_folder(REFKNOWNFOLDERID id) {
	PWSTR path = nullptr;
	std::wstring folder;
	if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = path;
	CoTaskMemFree(path);
	return folder;
}

// The last component of a folder path, trailing separators ignored.
std::wstring last_component(std::wstring folder) {
	while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
	std::size_t separator = folder.find_last_of(L"\\/");
	return separator == std::wstring::npos ? folder : folder.substr(separator + 1);
}

bool file_exists(const std::wstring& path) {
	DWORD attributes = GetFileAttributesW(path.c_str());
	return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Both kinds of registration under one root: the version folder itself (EBWebView) and the version
// alone (pv; the stable channel only), whose folder is the root's usual install folder.
void add_registrations(std::vector<RuntimeCandidate>& out, HKEY root, REGSAM view, const std::wstring& install_folder) {
	for (int channel = 0; channel < static_cast<int>(std::size(channel_guids)); channel++) {
		std::wstring guid = channel_guids[channel];
		if (auto folder = read_text(root, view, L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\" + guid, L"EBWebView"))
			out.push_back({channel, *folder, last_component(*folder)});
		if (channel != stable_channel || install_folder.empty()) continue;
		if (auto version = read_text(root, view, L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\" + guid, L"pv"))
			out.push_back({channel, install_folder + L"\\" + *version, *version});
	}
}

} // namespace

std::optional<RuntimeVersion> parse_runtime_version(std::wstring_view text) {
	RuntimeVersion version;
	std::size_t at = 0;
	for (std::size_t part = 0; part < version.parts.size(); part++) {
		if (part > 0) {
			if (at >= text.size() || text[at] != L'.') return std::nullopt;
			at++;
		}
		std::size_t start = at;
		uint64_t value = 0;
		while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
			value = value * 10 + static_cast<uint64_t>(text[at] - L'0');
			if (value > UINT32_MAX) return std::nullopt;
			at++;
		}
		if (at == start) return std::nullopt;
		version.parts[part] = static_cast<uint32_t>(value);
	}
	if (at != text.size()) return std::nullopt;
	return version;
}

std::wstring runtime_dll_in(const std::wstring& version_folder) {
	std::wstring folder = version_folder;
	while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
	return folder + L"\\EBWebView\\" + architecture + L"\\EmbeddedBrowserWebView.dll";
}

std::vector<InstalledRuntime> usable_runtimes(const std::vector<RuntimeCandidate>& candidates,
                                              const std::function<bool(const std::wstring& path)>& exists) {
	struct Usable {
		int channel;
		RuntimeVersion version;
		InstalledRuntime runtime;
	};
	std::vector<Usable> usable;
	for (const RuntimeCandidate& candidate : candidates) {
		std::optional<RuntimeVersion> version = parse_runtime_version(candidate.version);
		if (!version || *version < minimum_runtime_version) continue;
		// A registration outlives an uninstall: only the file proves the runtime is there.
		std::wstring dll = runtime_dll_in(candidate.version_folder);
		if (!exists(dll)) continue;
		usable.push_back({candidate.channel, *version, InstalledRuntime{std::move(dll), candidate.version}});
	}
	std::stable_sort(usable.begin(), usable.end(), [](const Usable& a, const Usable& b) {
		return a.channel != b.channel ? a.channel < b.channel : a.version > b.version;
	});
	std::vector<InstalledRuntime> ordered;
	for (Usable& entry : usable) ordered.push_back(std::move(entry.runtime));
	return ordered;
}

std::optional<InstalledRuntime> choose_runtime(const std::vector<RuntimeCandidate>& candidates,
                                               const std::function<bool(const std::wstring& path)>& exists) {
	std::vector<InstalledRuntime> ordered = usable_runtimes(candidates, exists);
	if (ordered.empty()) return std::nullopt;
	return std::move(ordered.front());
}

std::vector<RuntimeCandidate> registered_runtimes() {
	std::vector<RuntimeCandidate> candidates;
	// The per-machine registration lives in the 32-bit view (WOW6432Node) on 64-bit Windows.
	std::wstring machine_folder = known_folder(FOLDERID_ProgramFilesX86);
	if (!machine_folder.empty()) machine_folder += L"\\Microsoft\\EdgeWebView\\Application";
	add_registrations(candidates, HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, machine_folder);
	std::wstring user_folder = known_folder(FOLDERID_LocalAppData);
	if (!user_folder.empty()) user_folder += L"\\Microsoft\\EdgeWebView\\Application";
	add_registrations(candidates, HKEY_CURRENT_USER, 0, user_folder);
	return candidates;
}

std::vector<InstalledRuntime> find_installed_runtimes() { return usable_runtimes(registered_runtimes(), file_exists); }

} // namespace bw::edge2
