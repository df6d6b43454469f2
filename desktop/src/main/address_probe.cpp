#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace tarnwick {

bool connects(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	namespace asio = boost::asio;
	// One per asking thread: making a context costs more than the question (the watch asks every
	// second for as long as the window is open).
	thread_local asio::io_context context;
	boost::system::error_code error;
	asio::ip::address ip = asio::ip::make_address(address.host, error);
	if (error) return false;
	context.restart();
	bool answered = false;
	bool connected = false;
	{
		asio::ip::tcp::socket socket(context);
		socket.async_connect(asio::ip::tcp::endpoint(ip, address.port), [&](const boost::system::error_code& result) {
			answered = true;
			connected = !result;
		});
		context.run_for(timeout);
	}
	// A connect still pending was aborted by closing the socket: its handler runs now, while the
	// variables it writes still exist, rather than in the next question.
	if (!answered) {
		context.restart();
		context.run();
	}
	return connected;
}

} // namespace tarnwick
