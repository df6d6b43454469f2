#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <string_view>

namespace tarnwick {

namespace {

namespace asio = boost::asio;

// Connects to the address and calls then(socket) once connected; runs it all for at most the timeout.
template <class Then> void connect_within(const DaemonAddress& address, std::chrono::milliseconds timeout, Then then) {
	asio::io_context context;
	boost::system::error_code error;
	asio::ip::address ip = asio::ip::make_address(address.host, error);
	if (error) return;
	asio::ip::tcp::socket socket(context);
	socket.async_connect(asio::ip::tcp::endpoint(ip, address.port), [&](const boost::system::error_code& result) {
		if (!result) then(socket);
	});
	context.run_for(timeout);
}

} // namespace

bool connects(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	bool connected = false;
	connect_within(address, timeout, [&](asio::ip::tcp::socket&) { connected = true; });
	return connected;
}

bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	const std::string request = "HEAD / HTTP/1.1\r\nHost: " + address.host + ":" + std::to_string(address.port) + "\r\nConnection: close\r\n\r\n";
	std::array<char, 5> status_line{};
	bool answered = false;
	connect_within(address, timeout, [&](asio::ip::tcp::socket& socket) {
		asio::async_write(socket, asio::buffer(request), [&](const boost::system::error_code& written, std::size_t) {
			if (written) return;
			asio::async_read(socket, asio::buffer(status_line), [&](const boost::system::error_code& read, std::size_t) {
				answered = !read && std::string_view(status_line.data(), status_line.size()) == "HTTP/";
			});
		});
	});
	return answered;
}

} // namespace tarnwick
