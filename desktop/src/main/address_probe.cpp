#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

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

} // namespace tarnwick
