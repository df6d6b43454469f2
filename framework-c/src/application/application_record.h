// The application record and the seam between its platform-neutral front and the platform parts.
// application_impl.h and application_engine_impl.h come from the platform's directory, which the
// build puts on the include path.
#pragma once

#include <bw/application.h>

#include "application_engine_impl.h"
#include "application_impl.h"

struct bw_Application {
	uint32_t windows_alive;
	bw_Bool32 is_running; // written under impl_'s lock; read atomically
	bw_Bool32 is_done;    // GUI thread only
	bw_ApplicationImpl impl_;
	bw_ApplicationEngineImpl engine_impl;
};

// What bw_Application_run hands to the platform loop: called once before the first message.
struct bw_ApplicationReady {
	bw_Application* app;
	void (*func)(bw_Application* app, void* data);
	void* data;
};

extern "C" {

void bw_Application_runOnReady(bw_Application* app, void* ready_data);

// Engine part: brings up the browser engine's per-thread state.
bw_Err bw_ApplicationEngineImpl_initialize(bw_ApplicationEngineImpl* engine_impl, bw_Application* app, int argc, char** argv,
                                           const bw_ApplicationSettings* settings);
void bw_ApplicationEngineImpl_free(bw_ApplicationEngineImpl* engine_impl);

// Platform part.
void bw_ApplicationImpl_initialize(bw_ApplicationImpl* impl, bw_Application* app, int argc, char** argv,
                                   const bw_ApplicationSettings* settings);
// The message loop: calls ready first, returns the first exit code after draining the queue.
int bw_ApplicationImpl_run(bw_Application* app, bw_ApplicationReady* ready);
// Runs the calls still queued after the loop stopped accepting dispatches, so none that was accepted is lost.
void bw_ApplicationImpl_runRemaining(bw_Application* app);
void bw_ApplicationImpl_setRunning(bw_Application* app, bw_Bool32 running);
bw_Bool32 bw_ApplicationImpl_isGuiThread(const bw_ApplicationImpl* impl);
// Takes over the record when it returns true; the caller keeps it otherwise.
bw_Bool32 bw_ApplicationImpl_dispatch(bw_Application* app, bw_ApplicationDispatchData* dispatch_data);
int bw_ApplicationImpl_exit(bw_Application* app, int exit_code);
// Arms a one-shot timer on the GUI thread that calls bw_TimerMap_fire with the returned id.
uintptr_t bw_ApplicationImpl_setTimer(bw_Application* app, uint32_t milliseconds);
void bw_ApplicationImpl_killTimer(uintptr_t timer_id);
void bw_ApplicationImpl_finish(bw_ApplicationImpl* impl);
void bw_ApplicationImpl_free(bw_ApplicationImpl* impl);

} // extern "C"
