#include "core/browser_window/message_delivery.hpp"

#include "browser/browser_window.hpp"

#include <cctype>

namespace bw {

std::optional<MessageEventArgs> message_event_args(JsValue message) {
	JsArray* items = message.as_array();
	if (items == nullptr || items->empty()) return std::nullopt;
	MessageEventArgs args;
	JsValue& first = items->front();
	if (const std::string* text = first.as_string())
		args.cmd = *text;
	else
		args.cmd = first.to_string();
	args.args.reserve(items->size() - 1);
	for (std::size_t i = 1; i < items->size(); i++) args.args.push_back(std::move((*items)[i]));
	return args;
}

void deliver_message(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, MessageEventArgs args) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	if (const auto* sync = std::get_if<SyncMessageHandler>(&handler)) {
		// Empty once released with its window.
		if (*sync) (*sync)(strong->handle(), std::move(args));
		return;
	}
	const AsyncMessageHandler& async = std::get<AsyncMessageHandler>(handler);
	if (!async) return;
	ApplicationHandle app = strong->handle().app();
	app.spawn(async(BrowserWindow(strong), std::move(args)));
}

std::string origin_of(std::string_view url) {
	std::size_t colon = url.find(':');
	if (colon == std::string_view::npos || colon == 0 || url.substr(colon + 1, 2) != "//") return "null";
	std::string scheme(url.substr(0, colon));
	for (char& c : scheme) {
		if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return "null";
		c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	}
	if (scheme != "http" && scheme != "https" && scheme != "ws" && scheme != "wss" && scheme != "ftp") return "null";
	std::string_view rest = url.substr(colon + 3);
	std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
	// Credentials are no part of the origin.
	if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
	std::string host(authority);
	std::string port;
	std::size_t bracket = host.rfind(']');
	std::size_t port_colon = host.rfind(':');
	if (port_colon != std::string::npos && (bracket == std::string::npos || port_colon > bracket)) {
		port = host.substr(port_colon + 1);
		host.resize(port_colon);
	}
	if (host.empty()) return "null";
	for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	for (char c : port)
		if (!std::isdigit(static_cast<unsigned char>(c))) return "null";
	bool default_port = port.empty() || (port == "80" && (scheme == "http" || scheme == "ws")) ||
	                    (port == "443" && (scheme == "https" || scheme == "wss")) || (port == "21" && scheme == "ftp");
	return scheme + "://" + host + (default_port ? "" : ":" + port);
}

void deliver_message_json(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, std::string_view json,
                          std::string_view source) {
	if (owner.expired()) return;
	std::optional<MessageEventArgs> args = message_event_args(JsValue::from_json(json));
	if (!args) return;
	args->source = std::string(source);
	args->origin = origin_of(source);
	deliver_message(owner, handler, std::move(*args));
}

} // namespace bw
