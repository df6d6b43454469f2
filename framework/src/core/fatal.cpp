#include "core/fatal.hpp"

#include <cstdio>
#include <cstdlib>

namespace bw {

void fatal_stop(std::string_view text) {
	std::fwrite(text.data(), 1, text.size(), stderr);
	std::fputc('\n', stderr);
	std::fflush(stderr);
	std::fflush(stdout);
	// Other threads may still be running: end without running static destructors under them.
	std::_Exit(101);
}

} // namespace bw
