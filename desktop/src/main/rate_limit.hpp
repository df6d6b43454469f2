// At most so many events in any stretch of time of a given length.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace tarnwick {

class RateLimit {
public:
	using Clock = std::chrono::steady_clock;

	RateLimit(std::size_t most, Clock::duration per) : most_(most), per_(per) {}

	// Counts an event at `now` and says yes when it stays within the limit; a refused one is not
	// counted, so the limit frees up as the allowed ones grow old.
	bool allow(Clock::time_point now) {
		while (!allowed_.empty() && now - allowed_.front() >= per_) allowed_.pop_front();
		if (allowed_.size() >= most_) return false;
		allowed_.push_back(now);
		return true;
	}

private:
	std::size_t most_;
	Clock::duration per_;
	std::deque<Clock::time_point> allowed_;
};

} // namespace tarnwick
