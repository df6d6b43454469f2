// Finding an installed WebView2 runtime without WebView2Loader.dll: its registrations in the
// registry, the version folders they name and the runtime's own DLL inside.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bw::edge2 {

// Four dot-separated numbers, "138.0.3351.48".
struct RuntimeVersion {
	std::array<uint32_t, 4> parts{};

	auto operator<=>(const RuntimeVersion&) const = default;
};

// None unless the text is exactly four decimal numbers joined by dots.
std::optional<RuntimeVersion> parse_runtime_version(std::wstring_view text);

// The oldest runtime accepted: the one our environment options name as compatible.
inline constexpr RuntimeVersion minimum_runtime_version{{89, 0, 765, 0}};

// One registration: a version folder and the version it claims. Channels are ranked stable first.
struct RuntimeCandidate {
	int channel = 0;
	std::wstring version_folder;
	std::wstring version;
};

struct InstalledRuntime {
	// <version folder>\EBWebView\<architecture>\EmbeddedBrowserWebView.dll
	std::wstring dll;
	std::wstring version;
};

// The runtime DLL inside a version folder, for this process's architecture.
std::wstring runtime_dll_in(const std::wstring& version_folder);

// The usable candidates (a parsable version no older than the minimum, and a DLL that exists) in
// the order to try them: channel by channel, newest first, and among equal versions the earlier
// candidate first.
std::vector<InstalledRuntime> usable_runtimes(const std::vector<RuntimeCandidate>& candidates,
                                              const std::function<bool(const std::wstring& path)>& file_exists);

// The first of them.
std::optional<InstalledRuntime> choose_runtime(const std::vector<RuntimeCandidate>& candidates,
                                               const std::function<bool(const std::wstring& path)>& file_exists);

// Every registration of the stable and preview channels, per-machine first, then per-user. A
// preview channel's pv names an Edge browser install, not a runtime: only the stable channel's
// counts.
std::vector<RuntimeCandidate> registered_runtimes();

// The installed, intact runtimes in the order to try them.
std::vector<InstalledRuntime> find_installed_runtimes();

} // namespace bw::edge2
