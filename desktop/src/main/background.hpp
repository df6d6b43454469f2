// Work done off the GUI thread whose result a GUI-thread task awaits, so that the GUI thread never
// waits for the network or the process table. One long-lived thread does all of it in turn: while
// a daemon starts it is asked about many times a second, and a thread started for each question
// cost more than the question.
#pragma once

#include "application/future.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace tarnwick {

// Queues the work for the background thread, which is started on first use and never ends before
// the process. Any thread.
void run_in_background(std::function<void()> work);

// Queues the work at once; completes on the GUI thread with its result. Dropping the future before
// the work ends is fine: the thread keeps the shared state alive.
template <class T>
class Background {
public:
	using Output = T;

	explicit Background(std::function<T()> work) : state_(std::make_shared<State>()) {
		run_in_background([state = state_, work = std::move(work)] {
			T value = work();
			std::optional<bw::Waker> waker;
			{
				std::lock_guard lock(state->mutex);
				state->value = std::move(value);
				waker = state->waker;
			}
			if (waker) waker->wake();
		});
	}

	bool poll(const bw::Waker& waker) {
		std::lock_guard lock(state_->mutex);
		if (state_->value) return true;
		state_->waker = waker;
		return false;
	}

	T take_output() {
		std::lock_guard lock(state_->mutex);
		return std::move(*state_->value);
	}

private:
	struct State {
		std::mutex mutex;
		std::optional<T> value;
		std::optional<bw::Waker> waker;
	};
	std::shared_ptr<State> state_;
};

} // namespace tarnwick
