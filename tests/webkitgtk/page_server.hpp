// A local HTTP server for engine tests: the stand-in daemon, run under another name (so that it is
// never taken for a running daemon) on a free loopback port, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace bw::testing {

class PageServer {
public:
	PageServer();
	~PageServer();
	PageServer(const PageServer&) = delete;
	PageServer& operator=(const PageServer&) = delete;

	std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
	// The requests it served so far, one "METHOD target" per line.
	std::string requests() const;

private:
	std::filesystem::path directory_;
	unsigned short port_ = 0;
	pid_t pid_ = -1;
};

} // namespace bw::testing
