/* The application: GUI thread, message loop, exit codes, dispatch and one-shot timers. */
#ifndef BW_APPLICATION_H
#define BW_APPLICATION_H

#include "common.h"
#include "err.h"
#include "string.h"

BW_EXTERN_C_BEGIN

typedef struct bw_Application bw_Application;
typedef struct bw_ApplicationImpl bw_ApplicationImpl;

typedef void (*bw_ApplicationReadyFn)(bw_Application* app, void* data);
typedef void (*bw_ApplicationDispatchFn)(bw_Application* app, void* data);

/* One call to run once on the GUI thread. Whoever runs it frees the record afterwards. */
typedef struct bw_ApplicationDispatchData {
	bw_ApplicationDispatchFn func;
	void* data;
} bw_ApplicationDispatchData;

/* The slices are borrowed for the duration of bw_Application_initialize. */
typedef struct bw_ApplicationSettings {
	bw_CStrSlice engine_seperate_executable_path;
	uint16_t remote_debugging_port; /* 0: none */
	bw_CStrSlice resource_dir;
} bw_ApplicationSettings;

/* Stores the new record through *app; on failure *app is null and nothing is left to release. */
bw_Err bw_Application_initialize(bw_Application** app, int argc, char** argv, const bw_ApplicationSettings* settings);
/* Runs the message loop on the calling (GUI) thread; on_ready runs before the first message is read. */
int bw_Application_run(bw_Application* app, bw_ApplicationReadyFn on_ready, void* data);
/* Asks the loop to end; the first request sets the exit code. Any thread. */
int bw_Application_exit(bw_Application* app, int exit_code);
int bw_Application_exitAsync(bw_Application* app, int exit_code);
/* The main task has finished: ends the loop with 0 now if no window is open, else when the last one goes. */
void bw_Application_markAsDone(bw_Application* app);
bw_Bool32 bw_Application_isRunning(const bw_Application* app);
bw_Bool32 bw_Application_isDone(const bw_Application* app);
void bw_Application_assertCorrectThread(const bw_Application* app);
/* Kills pending timers without calling them and releases the record. GUI thread, loop not running. */
void bw_Application_free(bw_Application* app);

/* Posts func(app, data) to the GUI thread. False, and func is never called, when the loop is not running. */
bw_Bool32 bw_Application_dispatch(bw_Application* app, bw_ApplicationDispatchFn func, void* data);
/* Calls func(app, data) once on the GUI thread after at least the given delay (at most 2^31-1 ms). */
bw_Bool32 bw_Application_dispatchDelayed(bw_Application* app, bw_ApplicationDispatchFn func, void* data, uint64_t milliseconds);

/* Window bookkeeping for the last-window rule. GUI thread. */
void bw_Application_windowCreated(bw_Application* app);
void bw_Application_windowFreed(bw_Application* app);

BW_EXTERN_C_END

#endif
