// Futures and wakers: the polling model the executor runs on the GUI thread.
#pragma once

#include "core/application.hpp"

#include <concepts>
#include <cstdint>
#include <type_traits>

namespace bw {

// Asks the executor to poll a task again. A plain value that counts nothing and owns nothing: it
// names its task by id, so a wake that arrives after the task completed finds nothing and is harmless.
class Waker {
public:
	Waker(ApplicationImpl app, uint64_t task_id) : app_(app), task_id_(task_id) {}

	// Dispatches one poll of the task to the GUI thread. Any thread; wakes are never merged.
	void wake() const;
	Waker clone() const { return *this; }
	bool will_wake(const Waker& other) const { return app_ == other.app_ && task_id_ == other.task_id_; }

private:
	ApplicationImpl app_;
	uint64_t task_id_;
};

// A value produced later. poll() is called on the GUI thread with the waker of the task that awaits
// it; it returns true once the output is ready, and otherwise arranges for the waker to be woken
// when polling again may make progress. take_output() is called once, after poll() returned true.
template <class F>
concept Future = requires(F& future, const Waker& waker) {
	typename F::Output;
	{ future.poll(waker) } -> std::same_as<bool>;
} && (std::is_void_v<typename F::Output> || requires(F& future) {
	{ future.take_output() } -> std::same_as<typename F::Output>;
});

} // namespace bw
