// GTK part of the application record: the GLib main loop of the GUI thread and its message queue.
#pragma once

#include <bw/common.h>

#include <glib.h>
#include <pthread.h>

// One posted message: a dispatched call, or an exit request when dispatch_data is null.
struct bw_ApplicationMessage {
	bw_ApplicationMessage* next;
	struct bw_ApplicationDispatchData* dispatch_data;
	int exit_code;
};

struct bw_ApplicationImpl {
	pthread_t thread;
	GMainContext* context;
	pthread_rwlock_t is_running_mtx;
	// The queue, in posting order, that other threads append to; it stands in for a thread message queue.
	pthread_mutex_t queue_mtx;
	bw_ApplicationMessage* queue_head;
	bw_ApplicationMessage* queue_tail;
	GSource* queue_source;
	// Loop state, GUI thread only.
	bw_Bool32 quitting;
	int exit_code;
};
