// The executor: runs tasks (futures producing nothing) on the GUI thread. The first poll happens
// inside spawn; after that every wake becomes one dispatched poll.
#pragma once

#include "application/future.hpp"

#include <memory>
#include <utility>

namespace bw::executor {

// A spawned future with its type erased.
class SpawnedFuture {
public:
	virtual ~SpawnedFuture() = default;
	virtual bool poll(const Waker& waker) = 0;
};

template <Future F>
class SpawnedFutureOf final : public SpawnedFuture {
public:
	explicit SpawnedFutureOf(F future) : future_(std::move(future)) {}
	bool poll(const Waker& waker) override { return future_.poll(waker); }

private:
	F future_;
};

// Registers the task and polls it once, at once. GUI thread only.
void spawn(ApplicationImpl app, std::unique_ptr<SpawnedFuture> future);

template <Future F>
    requires std::is_void_v<typename F::Output>
void spawn(ApplicationImpl app, F future) {
	spawn(app, std::make_unique<SpawnedFutureOf<F>>(std::move(future)));
}

// Polls the task once; a task that already completed is not polled. GUI thread only.
void poll_future(uint64_t task_id);

// Number of tasks spawned on this thread that have not completed.
std::size_t live_task_count();

} // namespace bw::executor
