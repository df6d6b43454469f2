// x_window_tool: what scripts need to see of, and do to, a program's windows on the X display, the
// way another X client does it.
//
//   x_window_tool wait-title TITLE SECONDS   prints the id of the first mapped top-level window
//                                            with exactly that title, once there is one
//   x_window_tool wait-drawn ID SECONDS      waits until the window shows more than two colours
//   x_window_tool size ID                    prints WIDTHxHEIGHT
//   x_window_tool close ID                   sends the close request of a window manager
//
// Exit code 0 on success, 1 when the wait timed out or the window is gone, 2 on wrong usage.
#include "x_display.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace {

using tarnwick::testing::XDisplay;
using tarnwick::testing::XWindowId;

int usage() {
	std::fputs("usage: x_window_tool wait-title TITLE SECONDS | wait-drawn ID SECONDS | size ID | close ID\n", stderr);
	return 2;
}

bool wait_until(const std::function<bool()>& condition, double seconds) {
	auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline) return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}
	return true;
}

std::optional<XDisplay::TopLevel> by_id(XDisplay& x, XWindowId id) {
	for (const XDisplay::TopLevel& window : x.top_levels())
		if (window.id == id) return window;
	return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
	if (argc < 3) return usage();
	const std::string command = argv[1];
	XDisplay x;
	if (command == "wait-title" && argc == 4) {
		std::optional<XDisplay::TopLevel> window;
		if (!wait_until([&] { return (window = x.find(argv[2])).has_value(); }, std::atof(argv[3]))) return 1;
		std::printf("%lu\n", window->id);
		return 0;
	}
	const XWindowId id = std::strtoul(argv[2], nullptr, 0);
	if (command == "wait-drawn" && argc == 4) return wait_until([&] { return x.distinct_colours(id) > 2; }, std::atof(argv[3])) ? 0 : 1;
	if (command == "size" && argc == 3) {
		std::optional<XDisplay::TopLevel> window = by_id(x, id);
		if (!window) return 1;
		std::printf("%dx%d\n", window->width, window->height);
		return 0;
	}
	if (command == "close" && argc == 3) {
		if (!by_id(x, id)) return 1;
		x.request_close(id);
		return 0;
	}
	return usage();
}
