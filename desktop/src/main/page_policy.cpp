#include "page_policy.hpp"

#include "core/browser_window/message_delivery.hpp"

#include <cctype>

namespace tarnwick {

namespace {

std::string scheme_of(std::string_view url) {
	std::size_t colon = url.find(':');
	if (colon == std::string_view::npos) return {};
	std::string scheme(url.substr(0, colon));
	for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	return scheme;
}

int hex_value(char c) {
	if (c >= '0' && c <= '9') return c - '0';
	if (c >= 'a' && c <= 'f') return c - 'a' + 10;
	if (c >= 'A' && c <= 'F') return c - 'A' + 10;
	return -1;
}

std::string percent_decoded(std::string_view text) {
	std::string out;
	for (std::size_t i = 0; i < text.size(); i++) {
		if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
			out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
			i += 2;
		} else {
			out += text[i];
		}
	}
	return out;
}

} // namespace

bool same_page(std::string_view a, std::string_view b) {
	if (a.empty() || b.empty()) return false;
	if (scheme_of(a) != "data" || scheme_of(b) != "data") return a == b;
	return percent_decoded(a) == percent_decoded(b);
}

PageRoute route(const bw::NavigationRequest& request, std::string_view daemon_origin, std::string_view own_page) {
	std::string scheme = scheme_of(request.url);
	bool web = scheme == "http" || scheme == "https";
	// A new window never opens here: even the daemon's own pages go to the browser then.
	if (request.new_window) return web ? PageRoute::DefaultBrowser : PageRoute::Refused;
	if (web) return bw::origin_of(request.url) == daemon_origin ? PageRoute::Window : PageRoute::DefaultBrowser;
	if (request.url == "about:blank" || same_page(request.url, own_page)) return PageRoute::Window;
	return PageRoute::Refused;
}

Sender sender_of(std::string_view source, std::string_view origin, std::string_view daemon_origin, std::string_view own_page) {
	if (same_page(source, own_page)) return Sender::OwnPage;
	if (origin == daemon_origin && bw::origin_of(source) == daemon_origin) return Sender::DaemonPage;
	return Sender::Stranger;
}

bool download_allowed(const bw::DownloadRequest& request, std::string_view daemon_origin) {
	if (request.user_initiated) return true;
	std::string_view url = request.url;
	if (url.starts_with("blob:")) url.remove_prefix(5);
	return !request.from_frame && bw::origin_of(url) == daemon_origin;
}

} // namespace tarnwick
