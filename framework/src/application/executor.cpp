#include "application/executor.hpp"

#include "application/task.hpp"
#include "core/fatal.hpp"

#include <exception>
#include <string>
#include <unordered_map>

namespace bw {

namespace {

// One per live task; freed by the poll that completes it.
struct WakerData {
	std::unique_ptr<executor::SpawnedFuture> future;
	ApplicationImpl handle;
};

// Tasks live on the GUI thread and are only touched there, so the table needs no lock.
thread_local std::unordered_map<uint64_t, std::unique_ptr<WakerData>> live_tasks;
thread_local uint64_t next_task_id = 1;

void wakeup_handler(ApplicationImpl, void* task_id) { executor::poll_future(reinterpret_cast<uintptr_t>(task_id)); }

} // namespace

void Waker::wake() const {
	// Refused when the application is not running: the task then stays pending.
	app_.dispatch(wakeup_handler, reinterpret_cast<void*>(static_cast<uintptr_t>(task_id_)));
}

namespace executor {

void spawn(ApplicationImpl app, std::unique_ptr<SpawnedFuture> future) {
	app.assert_correct_thread();
	uint64_t task_id = next_task_id++;
	live_tasks.emplace(task_id, std::make_unique<WakerData>(WakerData{std::move(future), app}));
	poll_future(task_id);
}

void poll_future(uint64_t task_id) {
	auto found = live_tasks.find(task_id);
	if (found == live_tasks.end()) return;
	// The table may grow while the task runs (it may spawn others); the record itself stays put.
	WakerData* task = found->second.get();
	if (task->future->poll(Waker(task->handle, task_id))) live_tasks.erase(task_id);
}

std::size_t live_task_count() { return live_tasks.size(); }

} // namespace executor

namespace task_detail {

void fatal_unhandled_exception() {
	try {
		throw;
	} catch (const std::exception& failure) {
		fatal_stop(std::string("task failed: ") + failure.what());
	} catch (...) {
		fatal_stop("task failed with an unknown exception");
	}
}

} // namespace task_detail

} // namespace bw
