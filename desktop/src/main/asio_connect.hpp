// One connection made with Boost.Asio within a time limit, for the probes that run on any platform.
#pragma once

#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <chrono>

namespace tarnwick {

// Connects to the address and calls then(socket) once connected; runs it all, what then starts
// included, for at most the timeout.
template <class Then> void connect_within(const DaemonAddress& address, std::chrono::milliseconds timeout, Then then) {
	boost::asio::io_context context;
	boost::system::error_code error;
	boost::asio::ip::address ip = boost::asio::ip::make_address(address.host, error);
	if (error) return;
	boost::asio::ip::tcp::socket socket(context);
	socket.async_connect(boost::asio::ip::tcp::endpoint(ip, address.port), [&](const boost::system::error_code& result) {
		if (!result) then(socket);
	});
	context.run_for(timeout);
}

} // namespace tarnwick
