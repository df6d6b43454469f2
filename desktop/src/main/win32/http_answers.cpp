#include "address_probe.hpp"

#include "asio_connect.hpp"

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <array>
#include <string_view>

namespace tarnwick {

bool http_answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	const std::string request = http_head_request(address, false);
	std::array<char, 5> status_line{};
	bool answered = false;
	connect_within(address, timeout, [&](boost::asio::ip::tcp::socket& socket) {
		boost::asio::async_write(socket, boost::asio::buffer(request), [&](const boost::system::error_code& written, std::size_t) {
			if (written) return;
			boost::asio::async_read(socket, boost::asio::buffer(status_line), [&](const boost::system::error_code& read, std::size_t) {
				answered = !read && std::string_view(status_line.data(), status_line.size()) == "HTTP/";
			});
		});
	});
	return answered;
}

// Each ask makes its own connection here.
RepeatedAsks::~RepeatedAsks() = default;

bool RepeatedAsks::answered(std::chrono::milliseconds timeout) { return http_answers(address_, timeout); }

} // namespace tarnwick
