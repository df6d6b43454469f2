#include "address_probe.hpp"

#include "asio_connect.hpp"

namespace tarnwick {

bool connects(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	bool connected = false;
	connect_within(address, timeout, [&](boost::asio::ip::tcp::socket&) { connected = true; });
	return connected;
}

std::string http_head_request(const DaemonAddress& address, bool keep_alive) {
	return "HEAD / HTTP/1.1\r\nHost: " + address.host + ":" + std::to_string(address.port) + (keep_alive ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
}

} // namespace tarnwick
