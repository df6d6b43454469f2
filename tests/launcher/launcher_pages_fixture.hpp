// The launcher's cases where the stand-in daemon serves the case's page (TARNWICKD_PAGE) and the
// page reports what it sees by fetching /report?...: the fixture and its helpers.
#pragma once

#include "launcher_session_fixture.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace tarnwick {

inline std::string percent_decoded(const std::string& text) {
	std::string out;
	for (std::size_t i = 0; i < text.size(); i++) {
		if (text[i] == '%' && i + 2 < text.size()) {
			out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
			i += 2;
		} else {
			out += text[i];
		}
	}
	return out;
}

inline bool listens(int port) {
	int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(static_cast<uint16_t>(port));
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	bool connected = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
	close(probe);
	return connected;
}

class PageReportingSession : public LauncherSession {
protected:
	// The daemon serves this page at /.
	void serve_page(const std::string& html) {
		std::ofstream(root_ / "page.html") << html;
		test::set_environment("TARNWICKD_PAGE", (root_ / "page.html").string());
	}

	// A second server of the stand-in's pages on port 37339, another origin for frames and links.
	void serve_another_origin() {
		fs::copy_file(TARNWICK_DAEMON, root_ / "frame_server");
		frame_server_.emplace(root_ / "frame_server", test::ChildOptions{.arguments = {"--port", "37339", "--log", (root_ / "frame.log").string()}});
		ASSERT_TRUE(wait_until([] { return listens(37339); }, 10s));
	}
	std::optional<Child> frame_server_;

	// What the page reported, in order.
	std::vector<std::string> reports(const fs::path& log) const {
		std::vector<std::string> found;
		std::string text = read_file(log);
		const std::string mark = "GET /report?";
		for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
			found.push_back(percent_decoded(text.substr(at + mark.size(), text.find('\n', at) - at - mark.size())));
		return found;
	}
	bool reported(const std::string& what, std::chrono::milliseconds timeout, fs::path log = {}) {
		if (log.empty()) log = root_ / "requests.log";
		return wait_until([&] { return std::ranges::count(reports(log), what) > 0; }, timeout);
	}
};

} // namespace tarnwick
