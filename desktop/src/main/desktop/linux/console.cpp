#include "desktop/console.hpp"

#include <cstdio>

namespace tarnwick::console {

void out(std::string_view text) {
	std::fwrite(text.data(), 1, text.size(), stdout);
	std::fflush(stdout);
}

void error(std::string_view text) {
	std::fwrite(text.data(), 1, text.size(), stderr);
	std::fflush(stderr);
}

} // namespace tarnwick::console
