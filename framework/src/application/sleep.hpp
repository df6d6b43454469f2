// The delay future of ApplicationHandle::sleep.
#pragma once

#include "application/future.hpp"

#include <chrono>
#include <memory>

namespace bw {

// Completes on the GUI thread once its duration has elapsed, counted from its first poll.
// Awaited while the application is not running it never completes.
class SleepFuture {
public:
	using Output = void;

	SleepFuture(ApplicationImpl app, std::chrono::nanoseconds duration) : app_(app), duration_(duration) {}

	bool poll(const Waker& waker);

	struct State;

private:
	ApplicationImpl app_;
	std::chrono::nanoseconds duration_;
	// Shared with the armed timer's call, which may outlive this future.
	std::shared_ptr<State> state_;
};

} // namespace bw
