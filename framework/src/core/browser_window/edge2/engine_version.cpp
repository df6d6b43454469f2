#include "browser/engine_version.hpp"

#include "runtime_locator.hpp"

namespace bw {

std::string engine_version() {
	std::vector<edge2::InstalledRuntime> runtimes = edge2::find_installed_runtimes();
	if (runtimes.empty()) return "WebView2 Runtime: none found";
	std::string version;
	for (wchar_t c : runtimes.front().version) version += static_cast<char>(c);
	return "WebView2 Runtime " + version;
}

} // namespace bw
