#include "test_site.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace bw::testing {

namespace {

// A listening loopback socket on a free port.
int listen_on_free_port(unsigned short& port) {
	int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t length = sizeof address;
	if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 64) != 0 ||
	    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
		throw std::runtime_error("cannot listen on the loopback interface");
	port = ntohs(address.sin_port);
	return fd;
}

} // namespace

TestSite::TestSite() {
	listener_ = listen_on_free_port(port_);
	acceptor_ = std::thread([this] { accept_loop(); });
}

TestSite::~TestSite() {
	stop_ = true;
	acceptor_.join();
	for (std::thread& connection : connections_) connection.join();
	close(listener_);
}

void TestSite::add(const std::string& path, Page page) {
	std::lock_guard lock(mutex_);
	pages_[path] = std::move(page);
}

int TestSite::requests(const std::string& path) const {
	std::lock_guard lock(mutex_);
	auto found = requests_.find(path);
	return found != requests_.end() ? found->second : 0;
}

void TestSite::accept_loop() {
	while (!stop_) {
		pollfd ready{listener_, POLLIN, 0};
		if (poll(&ready, 1, 50) <= 0) continue;
		int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
		if (connection >= 0) connections_.emplace_back([this, connection] { serve(connection); });
	}
}

// One request per connection: the engine opens connections it may never use, so each has a thread.
void TestSite::serve(int connection) {
	std::string request;
	char buffer[4096];
	while (!stop_ && request.find("\r\n\r\n") == std::string::npos) {
		pollfd readable{connection, POLLIN, 0};
		if (poll(&readable, 1, 50) <= 0) continue;
		ssize_t got = recv(connection, buffer, sizeof buffer, 0);
		if (got <= 0) break;
		request.append(buffer, static_cast<std::size_t>(got));
	}
	std::size_t space = request.find(' ');
	std::string target = space != std::string::npos ? request.substr(space + 1, request.find(' ', space + 1) - space - 1) : "";
	std::string path = target.substr(0, target.find('?'));
	std::string reply;
	if (!path.empty()) {
		std::lock_guard lock(mutex_);
		requests_[path]++;
		auto found = pages_.find(path);
		if (found == pages_.end()) {
			reply = "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\nConnection: close\r\n\r\nnot found\n";
		} else {
			const Page& page = found->second;
			reply = "HTTP/1.1 " + page.status + "\r\nContent-Type: " + page.content_type + "\r\nContent-Length: " + std::to_string(page.body.size()) +
			        "\r\nCache-Control: no-store\r\nConnection: close\r\n" + page.headers + "\r\n" + page.body;
		}
	}
	for (std::size_t sent = 0; sent < reply.size();) {
		ssize_t wrote = send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
		if (wrote <= 0) break;
		sent += static_cast<std::size_t>(wrote);
	}
	close(connection);
}

SilentPort::SilentPort() { listener_ = listen_on_free_port(port_); }

SilentPort::~SilentPort() { close(listener_); }

} // namespace bw::testing
