// The stand-in daemon as the launcher's browser meets it: HTTP on the loopback interface only.
#include "daemon_fixture.hpp"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>
#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick::test {
namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

std::filesystem::path tarnwickd_program() { return test_program_directory() / TARNWICKD_FROM_TESTS; }

// A port nobody listens on right now.
unsigned short free_port() {
	asio::io_context io;
	tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::address_v4::loopback(), 0));
	return acceptor.local_endpoint().port();
}

struct Reply {
	unsigned status;
	std::string content_type;
	std::string set_cookie;
	std::string body;
};

// Nothing when no connection can be made. Bounded: a connection that is never answered fails the
// case, saying so, instead of holding the whole run.
std::optional<Reply> get(unsigned short port, const std::string& target, const std::string& cookie = {},
                         const asio::ip::address& address = asio::ip::address_v4::loopback()) {
	asio::io_context io;
	boost::beast::tcp_stream stream(io);
	stream.expires_after(10s);
	http::request<http::empty_body> request(http::verb::get, target, 11);
	request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
	if (!cookie.empty()) request.set(http::field::cookie, cookie);
	boost::beast::flat_buffer buffer;
	http::response<http::string_body> response;
	bool connected = false;
	boost::system::error_code error;
	stream.async_connect(tcp::endpoint(address, port), [&](boost::system::error_code connecting) {
		error = connecting;
		if (error) return;
		connected = true;
		http::async_write(stream, request, [&](boost::system::error_code writing, std::size_t) {
			error = writing;
			if (!error) http::async_read(stream, buffer, response, [&](boost::system::error_code reading, std::size_t) { error = reading; });
		});
	});
	io.run();
	if (!connected) return std::nullopt;
	if (error) {
		ADD_FAILURE() << "GET " << target << " on port " << port << ": " << error.message();
		return std::nullopt;
	}
	return Reply{response.result_int(), std::string(response[http::field::content_type]), std::string(response[http::field::set_cookie]),
	             response.body()};
}

// The daemon says so once it listens. A connection could not tell it from another program that took
// the port meanwhile, nor from a connection of the test's own that met itself on that port.
bool wait_until_serving(const std::filesystem::path& output, unsigned short port, std::chrono::seconds timeout) {
	// The whole line: the port, not a port it begins.
	const std::string serving = "tarnwickd: serving http://127.0.0.1:" + std::to_string(port);
	return wait_until([&] { return std::ranges::count(lines(read_file(output)), serving) > 0; }, timeout);
}

TEST_F(DaemonTest, TarnwickdServesTheInterfaceOnLoopbackOnly) {
	auto port = free_port();
	auto log = temporary_ / "requests.log";
	auto output = temporary_ / "output.txt";
	Child tarnwickd(tarnwickd_program(), {.arguments = {"--port", std::to_string(port), "--log", utf8(log)}, .output_file = output});
	ASSERT_TRUE(wait_until_serving(output, port, 30s)) << read_file(output);

	auto page = get(port, "/");
	ASSERT_TRUE(page);
	EXPECT_EQ(page->status, 200u);
	EXPECT_EQ(page->content_type, "text/html; charset=utf-8");
	EXPECT_NE(page->body.find("<title>Tarnwick</title>"), std::string::npos);
	EXPECT_NE(page->body.find("invoke_extern(\"ping\""), std::string::npos);
	EXPECT_NE(page->body.find("typeof invoke_extern === \"function\""), std::string::npos);

	auto cookie = get(port, "/set-cookie");
	ASSERT_TRUE(cookie);
	EXPECT_EQ(cookie->set_cookie, "tarnwick_test=1; Path=/");
	auto echoed = get(port, "/cookies", "tarnwick_test=1");
	ASSERT_TRUE(echoed);
	EXPECT_EQ(echoed->body, "tarnwick_test=1\n");
	auto missing = get(port, "/missing");
	ASSERT_TRUE(missing);
	EXPECT_EQ(missing->status, 404u);
	EXPECT_EQ(lines(read_file(log)), (std::vector<std::string>{"GET /", "GET /set-cookie", "GET /cookies", "GET /missing"}));

	// Bound to 127.0.0.1 alone: another loopback address finds nothing listening.
	EXPECT_FALSE(get(port, "/", {}, asio::ip::make_address("127.0.0.2")));
}

TEST_F(DaemonTest, TarnwickdOnATakenPortEndsWithAMessage) {
	auto port = free_port();
	Child first(tarnwickd_program(), {.arguments = {"--port", std::to_string(port)}, .output_file = temporary_ / "first.txt"});
	ASSERT_TRUE(wait_until_serving(temporary_ / "first.txt", port, 30s)) << read_file(temporary_ / "first.txt");

	auto output = temporary_ / "second.txt";
	Child second(tarnwickd_program(), {.arguments = {"--port", std::to_string(port)}, .output_file = output});
	auto code = second.wait(30s);
	ASSERT_TRUE(code) << "the second instance is still running";
	EXPECT_NE(*code, 0);
	EXPECT_EQ(lines(read_file(output)), std::vector<std::string>{"tarnwickd: port " + std::to_string(port) + " is already in use"});
	EXPECT_TRUE(get(port, "/")) << "the first instance stopped serving";
}

TEST_F(DaemonTest, TarnwickdListensOnlyAfterTheDelay) {
	auto port = free_port();
	auto start = std::chrono::steady_clock::now();
	Child tarnwickd(tarnwickd_program(), {.arguments = {"--port", std::to_string(port), "--delay-listen", "2"}, .output_file = temporary_ / "output.txt"});
	EXPECT_FALSE(get(port, "/"));
	ASSERT_TRUE(wait_until_serving(temporary_ / "output.txt", port, 30s)) << read_file(temporary_ / "output.txt");
	EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
}

// The log's times are read on the monotonic clock other processes read too: a start-up benchmark
// compares them with the moment it started a browser, which announces its load by fetching /loaded.
TEST_F(DaemonTest, TarnwickdLogsMonotonicTimesAndThePageAnnouncesItsLoad) {
	auto port = free_port();
	auto log = temporary_ / "requests.log";
	auto output = temporary_ / "output.txt";
	Child tarnwickd(tarnwickd_program(),
	                {.arguments = {"--port", std::to_string(port), "--log", utf8(log), "--log-times"}, .output_file = output});
	ASSERT_TRUE(wait_until_serving(output, port, 30s)) << read_file(output);

	auto seconds = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
	double before = seconds();
	auto page = get(port, "/");
	auto loaded = get(port, "/loaded?from=page");
	double after = seconds();
	ASSERT_TRUE(page && loaded);
	EXPECT_NE(page->body.find("fetch(\"/loaded\""), std::string::npos);
	EXPECT_EQ(loaded->status, 204u);
	EXPECT_EQ(loaded->body, "");

	auto logged = lines(read_file(log));
	ASSERT_EQ(logged.size(), 2u);
	const char* expected_requests[] = {"GET /", "GET /loaded?from=page"};
	double previous = before;
	for (std::size_t i = 0; i < 2; i++) {
		std::size_t space = logged[i].find(' ');
		ASSERT_NE(space, std::string::npos) << logged[i];
		EXPECT_EQ(logged[i].substr(space + 1), expected_requests[i]);
		double time = std::stod(logged[i].substr(0, space));
		EXPECT_GE(time, previous) << logged[i];
		EXPECT_LE(time, after) << logged[i];
		previous = time;
	}
}

} // namespace
} // namespace tarnwick::test
