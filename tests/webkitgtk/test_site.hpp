// A small web site for engine tests, served from a thread of the test on a free loopback port: the
// pages a test adds, with the content type and headers it gives, each request logged. The same
// port is a second origin under the name localhost.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bw::testing {

class TestSite {
public:
	struct Page {
		std::string content_type = "text/html; charset=utf-8";
		std::string body;
		// Whole header lines, each ending with "\r\n".
		std::string headers;
		std::string status = "200 OK";
	};

	static Page html(std::string body) { return Page{"text/html; charset=utf-8", std::move(body), ""}; }
	static Page redirect(const std::string& to) { return Page{"text/plain", "", "Location: " + to + "\r\n", "302 Found"}; }

	TestSite();
	~TestSite();
	TestSite(const TestSite&) = delete;
	TestSite& operator=(const TestSite&) = delete;

	void add(const std::string& path, Page page);
	std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
	// The same path on the other origin.
	std::string other_origin(const std::string& path = "/") const { return "http://localhost:" + std::to_string(port_) + path; }
	// How many times the path was asked for so far.
	int requests(const std::string& path) const;

private:
	void accept_loop();
	void serve(int connection);

	int listener_ = -1;
	unsigned short port_ = 0;
	std::atomic<bool> stop_{false};
	mutable std::mutex mutex_;
	std::map<std::string, Page> pages_;
	std::map<std::string, int> requests_;
	std::vector<std::thread> connections_;
	std::thread acceptor_;
};

// A port that accepts connections and never answers.
class SilentPort {
public:
	SilentPort();
	~SilentPort();
	SilentPort(const SilentPort&) = delete;
	SilentPort& operator=(const SilentPort&) = delete;
	std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
	int listener_ = -1;
	unsigned short port_ = 0;
};

} // namespace bw::testing
