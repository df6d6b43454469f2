// Work done on a thread of its own whose result a GUI-thread task awaits, so that the GUI thread
// never waits for the network or the process table.
#pragma once

#include "application/future.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tarnwick {

// Starts the work at once; completes on the GUI thread with its result. Dropping the future before
// the work ends is fine: the thread keeps the shared state alive.
template <class T>
class Background {
public:
	using Output = T;

	explicit Background(std::function<T()> work) : state_(std::make_shared<State>()) {
		std::thread([state = state_, work = std::move(work)] {
			T value = work();
			std::optional<bw::Waker> waker;
			{
				std::lock_guard lock(state->mutex);
				state->value = std::move(value);
				waker = state->waker;
			}
			if (waker) waker->wake();
		}).detach();
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
