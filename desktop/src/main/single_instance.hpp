// One launcher per user session: the first launch holds a per-user lock; a later one asks it to
// raise its window and ends. A lock left by a launcher that crashed never blocks: the system
// releases it with the process.
#pragma once

#include <functional>
#include <memory>

namespace tarnwick {

class SingleInstance {
public:
	enum class Outcome {
		// This is the only launcher: it goes on.
		First,
		// Another launcher runs and was asked to raise its window: this one ends with 0.
		Raised,
	};

	// Blocks only while another launcher that holds the lock is still starting (a few seconds at most).
	static std::unique_ptr<SingleInstance> claim(Outcome& outcome);
	virtual ~SingleInstance() = default;

	// Calls raise, on a thread of its own, whenever a later launch asks for the window.
	virtual void on_raise_request(std::function<void()> raise) = 0;
};

} // namespace tarnwick
