#include "application_record.h"
#include "timer_map.h"

#include "../assertion.h"

#include <cstdlib>

namespace {

// Carries a delayed dispatch asked for on another thread to the GUI thread, where its timer is armed.
struct DelayedDispatchRelay {
	bw_ApplicationDispatchData* dispatch_data;
	uint32_t milliseconds;
	bw_Application* app;
};

void armRelayedTimer(bw_Application* app, void* data) {
	auto* relay = static_cast<DelayedDispatchRelay*>(data);
	bw_TimerMap_arm(app, relay->dispatch_data, relay->milliseconds);
	std::free(relay);
}

bw_ApplicationDispatchData* newDispatchData(bw_ApplicationDispatchFn func, void* data) {
	auto* record = static_cast<bw_ApplicationDispatchData*>(std::malloc(sizeof(bw_ApplicationDispatchData)));
	BW_ASSERT(record != nullptr, "out of memory");
	*record = bw_ApplicationDispatchData{func, data};
	return record;
}

} // namespace

extern "C" {

bw_Err bw_Application_initialize(bw_Application** app, int argc, char** argv, const bw_ApplicationSettings* settings) {
	auto* record = static_cast<bw_Application*>(std::calloc(1, sizeof(bw_Application)));
	BW_ASSERT(record != nullptr, "out of memory");
	*app = record;
	record->windows_alive = 0;
	record->is_running = 0;
	record->is_done = 0;

	bw_Err error = bw_ApplicationEngineImpl_initialize(&record->engine_impl, record, argc, argv, settings);
	if (error.code != 0) {
		// Nothing can be done with a record whose initialisation failed, not even freeing it the
		// usual way (its platform part is unset): release it here rather than leave it behind.
		std::free(record);
		*app = nullptr;
		return error;
	}

	bw_ApplicationImpl_initialize(&record->impl_, record, argc, argv, settings);
	return bw_Err_success();
}

void bw_Application_runOnReady(bw_Application* app, void* ready_data) {
	auto* ready = static_cast<bw_ApplicationReady*>(ready_data);
	ready->func(app, ready->data);
}

int bw_Application_run(bw_Application* app, bw_ApplicationReadyFn on_ready, void* data) {
	bw_Application_assertCorrectThread(app);
	app->is_done = 0;
	bw_ApplicationImpl_setRunning(app, 1);

	bw_ApplicationReady ready{app, on_ready, data};
	int exit_code = bw_ApplicationImpl_run(app, &ready);

	bw_ApplicationImpl_setRunning(app, 0);
	bw_ApplicationImpl_runRemaining(app);
	return exit_code;
}

int bw_Application_exit(bw_Application* app, int exit_code) { return bw_ApplicationImpl_exit(app, exit_code); }

int bw_Application_exitAsync(bw_Application* app, int exit_code) { return bw_ApplicationImpl_exit(app, exit_code); }

void bw_Application_markAsDone(bw_Application* app) {
	uint32_t windows_alive = app->windows_alive;
	app->is_done = 1;
	if (windows_alive == 0) bw_Application_exit(app, 0);
}

bw_Bool32 bw_Application_isRunning(const bw_Application* app) { return __atomic_load_n(&app->is_running, __ATOMIC_ACQUIRE); }

bw_Bool32 bw_Application_isDone(const bw_Application* app) { return app->is_done; }

void bw_Application_assertCorrectThread(const bw_Application* app) {
	BW_ASSERT(bw_ApplicationImpl_isGuiThread(&app->impl_), "Application handle used in invalid thread!");
}

void bw_Application_free(bw_Application* app) {
	bw_ApplicationImpl_finish(&app->impl_);
	bw_ApplicationEngineImpl_free(&app->engine_impl);
	bw_ApplicationImpl_free(&app->impl_);
	std::free(app);
}

bw_Bool32 bw_Application_dispatch(bw_Application* app, bw_ApplicationDispatchFn func, void* data) {
	bw_ApplicationDispatchData* record = newDispatchData(func, data);
	if (bw_ApplicationImpl_dispatch(app, record)) return 1;
	std::free(record);
	return 0;
}

bw_Bool32 bw_Application_dispatchDelayed(bw_Application* app, bw_ApplicationDispatchFn func, void* data, uint64_t milliseconds) {
	if (milliseconds > 2147483647u) {
		std::fprintf(stderr, "[ASSERTION %s:%i] too many milliseconds\n", __FILE__, __LINE__);
		bw_failAssertion("milliseconds < (1ul << (8*sizeof(UINT)-1))");
	}
	if (!bw_Application_isRunning(app)) return 0;

	bw_ApplicationDispatchData* record = newDispatchData(func, data);
	if (bw_ApplicationImpl_isGuiThread(&app->impl_)) {
		bw_TimerMap_arm(app, record, static_cast<uint32_t>(milliseconds));
		return 1;
	}

	// Timers belong to the GUI thread: relay the request there and arm it when it arrives.
	auto* relay = static_cast<DelayedDispatchRelay*>(std::malloc(sizeof(DelayedDispatchRelay)));
	BW_ASSERT(relay != nullptr, "out of memory");
	*relay = DelayedDispatchRelay{record, static_cast<uint32_t>(milliseconds), app};
	if (bw_Application_dispatch(app, armRelayedTimer, relay)) return 1;
	std::free(relay);
	std::free(record);
	return 0;
}

void bw_Application_windowCreated(bw_Application* app) { app->windows_alive += 1; }

void bw_Application_windowFreed(bw_Application* app) {
	app->windows_alive -= 1;
	if (app->windows_alive == 0 && app->is_done) bw_Application_exit(app, 0);
}

} // extern "C"
