#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <string_view>

namespace tarnwick {

bool connects(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	namespace asio = boost::asio;
	asio::io_context context;
	boost::system::error_code error;
	asio::ip::address ip = asio::ip::make_address(address.host, error);
	if (error) return false;
	asio::ip::tcp::socket socket(context);
	bool connected = false;
	socket.async_connect(asio::ip::tcp::endpoint(ip, address.port), [&](const boost::system::error_code& result) { connected = !result; });
	context.run_for(timeout);
	return connected;
}

bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	namespace asio = boost::asio;
	asio::io_context context;
	boost::system::error_code error;
	asio::ip::address ip = asio::ip::make_address(address.host, error);
	if (error) return false;
	asio::ip::tcp::socket socket(context);
	const std::string request = "HEAD / HTTP/1.1\r\nHost: " + address.host + ":" + std::to_string(address.port) + "\r\nConnection: close\r\n\r\n";
	std::array<char, 5> status_line{};
	bool answered = false;
	socket.async_connect(asio::ip::tcp::endpoint(ip, address.port), [&](const boost::system::error_code& connected) {
		if (connected) return;
		asio::async_write(socket, asio::buffer(request), [&](const boost::system::error_code& written, std::size_t) {
			if (written) return;
			asio::async_read(socket, asio::buffer(status_line), [&](const boost::system::error_code& read, std::size_t) {
				answered = !read && std::string_view(status_line.data(), status_line.size()) == "HTTP/";
			});
		});
	});
	context.run_for(timeout);
	return answered;
}

} // namespace tarnwick
