#include "address_probe.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <mutex>
#include <optional>
#include <thread>

namespace tarnwick {

struct AddressProbe::State {
	std::mutex mutex;
	std::optional<bool> answered;
	std::optional<bw::Waker> waker;
};

namespace {

bool connects(const std::string& host, uint16_t port) {
	namespace asio = boost::asio;
	asio::io_context context;
	boost::system::error_code error;
	asio::ip::address address = asio::ip::make_address(host, error);
	if (error) return false;
	asio::ip::tcp::socket socket(context);
	socket.connect(asio::ip::tcp::endpoint(address, port), error);
	return !error;
}

} // namespace

bool AddressProbe::poll(const bw::Waker& waker) {
	if (state_ == nullptr) {
		state_ = std::make_shared<State>();
		state_->waker = waker;
		// The thread keeps the state alive: the probe may be dropped before it ends.
		std::thread([state = state_, host = host_, port = port_] {
			bool answered = connects(host, port);
			std::optional<bw::Waker> waker;
			{
				std::lock_guard lock(state->mutex);
				state->answered = answered;
				waker = state->waker;
			}
			if (waker) waker->wake();
		}).detach();
		return false;
	}
	std::lock_guard lock(state_->mutex);
	state_->waker = waker;
	return state_->answered.has_value();
}

bool AddressProbe::take_output() {
	std::lock_guard lock(state_->mutex);
	return *state_->answered;
}

} // namespace tarnwick
