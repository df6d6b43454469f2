#include "core/fatal.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace bw {

namespace {

std::atomic<void (*)(std::string_view)> observer{nullptr};

} // namespace

void set_fatal_stop_observer(void (*new_observer)(std::string_view text)) { observer.store(new_observer); }

bool fatal_stop_observed() { return observer.load() != nullptr; }

void fatal_stop(std::string_view text) { fatal_stop(text, text); }

void fatal_stop(std::string_view text, std::string_view shown) {
	std::fwrite(text.data(), 1, text.size(), stderr);
	std::fputc('\n', stderr);
	std::fflush(stderr);
	std::fflush(stdout);
	// Taken out first: a stop while showing the text does not show it again.
	if (void (*show)(std::string_view) = observer.exchange(nullptr)) show(shown);
	// Other threads may still be running: end without running static destructors under them.
	std::_Exit(101);
}

} // namespace bw
