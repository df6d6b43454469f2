// The watch's wake-ups: a closing listener on the watched port ends a wait, other sockets' closings
// do not, and a watch can be ended from another thread. And its asks, over a kept connection.
#include "address_probe.hpp"
#include "listener_closings.hpp"
#include "port_owner.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// A listening socket on a loopback port of the system's choosing.
struct Listener {
	int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	uint16_t port = 0;
	Listener() {
		sockaddr_in address{};
		address.sin_family = AF_INET;
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		socklen_t size = sizeof address;
		bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
		listen(fd, 4);
		getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
		port = ntohs(address.sin_port);
	}
	~Listener() { close(); }
	void close() {
		if (fd >= 0) ::close(fd);
		fd = -1;
	}
	// A connection to it, accepted, then closed at both ends.
	void connect_and_close() const {
		int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		sockaddr_in address{};
		address.sin_family = AF_INET;
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		address.sin_port = htons(port);
		if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) ::close(accept(fd, nullptr, nullptr));
		::close(client);
	}
};

TEST(ListenerClosings, OnlyTheWatchedListenerClosingEndsAWait) {
	Listener watched;
	ASSERT_EQ(loopback_port_listened(watched.port), std::optional<bool>(true));
	ListenerClosings closings(watched.port);
	closings.begin();
	if (!closings.told()) GTEST_SKIP() << "the kernel does not announce closed sockets here: the watch asks every second";
	std::atomic<bool> woken = false;
	auto waiting = std::async(std::launch::async, [&] {
		bool result = closings.wait(1s, 1h);
		woken = true;
		return result;
	});
	// Another listener, and a connection on the watched port, both closed.
	Listener().close();
	watched.connect_and_close();
	std::this_thread::sleep_for(300ms);
	EXPECT_FALSE(woken);
	watched.close();
	ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
	EXPECT_TRUE(waiting.get());
	EXPECT_EQ(loopback_port_listened(watched.port), std::optional<bool>(false));
}

TEST(ListenerClosings, AnInterruptEndsTheWaitAndEveryLaterOne) {
	Listener watched;
	ListenerClosings closings(watched.port);
	closings.begin();
	auto waiting = std::async(std::launch::async, [&] { return closings.wait(60s, 1h); });
	std::this_thread::sleep_for(100ms);
	closings.interrupt();
	ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
	EXPECT_FALSE(waiting.get());
	EXPECT_FALSE(closings.wait(60s, 1h));
}

// A daemon that keeps its connections is asked over one; one that closes each after its answer, or
// writes more than a HEAD request's answer, is still answered every time, on a new connection.
TEST(RepeatedAsks, KeepTheConnectionWhereTheDaemonDoesAndAreAnsweredWhereItDoesNot) {
	for (std::string style : {"keeps", "closes", "writes a body"}) {
		Listener daemon;
		std::atomic<int> connections = 0;
		std::thread serving([&] {
			for (int asked = 0; asked < 3;) {
				int connection = accept(daemon.fd, nullptr, nullptr);
				if (connection < 0) return;
				connections++;
				char request[1024];
				while (asked < 3 && recv(connection, request, sizeof request, 0) > 0) {
					asked++;
					std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n" + std::string(style == "writes a body" ? "body" : "");
					send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
					if (style == "closes") break;
				}
				::close(connection);
			}
		});
		RepeatedAsks asks({"127.0.0.1", daemon.port});
		for (int i = 0; i < 3; i++) EXPECT_TRUE(asks.answered(5s)) << style << ", ask " << i;
		// Wakes a server still waiting for a connection when an ask failed.
		shutdown(daemon.fd, SHUT_RDWR);
		serving.join();
		EXPECT_EQ(connections, style == "keeps" ? 1 : 3) << style;
	}
}

} // namespace
} // namespace tarnwick
