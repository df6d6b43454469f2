#include "../application_record.h"
#include "../timer_map.h"

#include "../../assertion.h"

#include <cstdlib>

namespace {

// At most this many messages per dispatch of the queue source, so a flood of posts cannot starve
// GTK's own event sources.
constexpr int max_messages_per_dispatch = 1024;

struct QueueSource {
	GSource source;
	bw_Application* app;
};

bw_ApplicationMessage* popMessage(bw_ApplicationImpl* impl) {
	pthread_mutex_lock(&impl->queue_mtx);
	bw_ApplicationMessage* message = impl->queue_head;
	if (message != nullptr) {
		impl->queue_head = message->next;
		if (impl->queue_head == nullptr) impl->queue_tail = nullptr;
	}
	pthread_mutex_unlock(&impl->queue_mtx);
	return message;
}

bool queueIsEmpty(bw_ApplicationImpl* impl) {
	pthread_mutex_lock(&impl->queue_mtx);
	bool empty = impl->queue_head == nullptr;
	pthread_mutex_unlock(&impl->queue_mtx);
	return empty;
}

void pushMessage(bw_ApplicationImpl* impl, bw_ApplicationDispatchData* dispatch_data, int exit_code) {
	auto* message = static_cast<bw_ApplicationMessage*>(std::malloc(sizeof(bw_ApplicationMessage)));
	BW_ASSERT(message != nullptr, "out of memory");
	*message = bw_ApplicationMessage{nullptr, dispatch_data, exit_code};
	pthread_mutex_lock(&impl->queue_mtx);
	bool was_empty = impl->queue_head == nullptr;
	if (was_empty)
		impl->queue_head = message;
	else
		impl->queue_tail->next = message;
	impl->queue_tail = message;
	pthread_mutex_unlock(&impl->queue_mtx);
	// A non-empty queue is already seen by the loop's next check; only the first message must wake it.
	if (was_empty) g_main_context_wakeup(impl->context);
}

// Runs one message: the call of a dispatch, or the exit request, of which only the first counts.
void handleMessage(bw_Application* app, bw_ApplicationMessage* message, bool accept_exit) {
	if (message->dispatch_data != nullptr) {
		bw_ApplicationDispatchData* call = message->dispatch_data;
		std::free(message);
		call->func(app, call->data);
		std::free(call);
		return;
	}
	if (accept_exit && !app->impl_.quitting) {
		app->impl_.quitting = 1;
		app->impl_.exit_code = message->exit_code;
	}
	std::free(message);
}

gboolean queuePrepare(GSource* source, gint* timeout) {
	*timeout = -1;
	return !queueIsEmpty(&reinterpret_cast<QueueSource*>(source)->app->impl_);
}

gboolean queueCheck(GSource* source) { return !queueIsEmpty(&reinterpret_cast<QueueSource*>(source)->app->impl_); }

gboolean queueDispatch(GSource* source, GSourceFunc, gpointer) {
	bw_Application* app = reinterpret_cast<QueueSource*>(source)->app;
	for (int i = 0; i < max_messages_per_dispatch; i++) {
		bw_ApplicationMessage* message = popMessage(&app->impl_);
		if (message == nullptr) break;
		handleMessage(app, message, true);
	}
	return G_SOURCE_CONTINUE;
}

GSourceFuncs queue_source_funcs = {queuePrepare, queueCheck, queueDispatch, nullptr, nullptr, nullptr};

gboolean timerHandler(gpointer data) {
	bw_TimerMap_fire(reinterpret_cast<uintptr_t>(data));
	return G_SOURCE_REMOVE;
}

} // namespace

extern "C" {

void bw_ApplicationImpl_initialize(bw_ApplicationImpl* impl, bw_Application* app, int, char**, const bw_ApplicationSettings*) {
	impl->thread = pthread_self();
	impl->context = g_main_context_default();
	pthread_rwlock_init(&impl->is_running_mtx, nullptr);
	pthread_mutex_init(&impl->queue_mtx, nullptr);
	impl->queue_head = nullptr;
	impl->queue_tail = nullptr;
	impl->quitting = 0;
	impl->exit_code = 0;

	impl->queue_source = g_source_new(&queue_source_funcs, sizeof(QueueSource));
	reinterpret_cast<QueueSource*>(impl->queue_source)->app = app;
	// Calls dispatched while a nested loop runs (a modal dialog) still run there.
	g_source_set_can_recurse(impl->queue_source, TRUE);
	g_source_attach(impl->queue_source, impl->context);
}

int bw_ApplicationImpl_run(bw_Application* app, bw_ApplicationReady* ready) {
	bw_ApplicationImpl* impl = &app->impl_;
	impl->quitting = 0;
	impl->exit_code = 0;
	bw_Application_runOnReady(ready->app, ready);

	for (;;) {
		if (!impl->quitting) {
			g_main_context_iteration(impl->context, TRUE);
		} else if (!g_main_context_iteration(impl->context, FALSE) && queueIsEmpty(impl)) {
			break;
		}
	}
	return impl->exit_code;
}

void bw_ApplicationImpl_runRemaining(bw_Application* app) {
	while (bw_ApplicationMessage* message = popMessage(&app->impl_)) handleMessage(app, message, false);
}

void bw_ApplicationImpl_setRunning(bw_Application* app, bw_Bool32 running) {
	pthread_rwlock_wrlock(&app->impl_.is_running_mtx);
	__atomic_store_n(&app->is_running, running, __ATOMIC_RELEASE);
	pthread_rwlock_unlock(&app->impl_.is_running_mtx);
}

bw_Bool32 bw_ApplicationImpl_isGuiThread(const bw_ApplicationImpl* impl) { return pthread_equal(pthread_self(), impl->thread); }

bw_Bool32 bw_ApplicationImpl_dispatch(bw_Application* app, bw_ApplicationDispatchData* dispatch_data) {
	bw_ApplicationImpl* impl = &app->impl_;
	// Posting under the shared lock: once run has cleared the flag, nothing more is queued for it.
	pthread_rwlock_rdlock(&impl->is_running_mtx);
	bool running = app->is_running;
	if (running) pushMessage(impl, dispatch_data, 0);
	pthread_rwlock_unlock(&impl->is_running_mtx);
	return running;
}

int bw_ApplicationImpl_exit(bw_Application* app, int exit_code) {
	pushMessage(&app->impl_, nullptr, exit_code);
	return 1;
}

uintptr_t bw_ApplicationImpl_setTimer(bw_Application* app, uint32_t milliseconds) {
	GSource* source = g_timeout_source_new(milliseconds);
	guint id = g_source_attach(source, app->impl_.context);
	// Set after attaching, to pass the id; it cannot fire before this thread returns to the loop.
	g_source_set_callback(source, timerHandler, reinterpret_cast<gpointer>(static_cast<uintptr_t>(id)), nullptr);
	g_source_unref(source);
	return id;
}

void bw_ApplicationImpl_killTimer(uintptr_t timer_id) {
	GSource* source = g_main_context_find_source_by_id(g_main_context_default(), static_cast<guint>(timer_id));
	if (source != nullptr) g_source_destroy(source);
}

void bw_ApplicationImpl_finish(bw_ApplicationImpl*) { bw_TimerMap_free(); }

void bw_ApplicationImpl_free(bw_ApplicationImpl* impl) {
	while (bw_ApplicationMessage* message = popMessage(impl)) {
		std::free(message->dispatch_data);
		std::free(message);
	}
	g_source_destroy(impl->queue_source);
	g_source_unref(impl->queue_source);
	pthread_mutex_destroy(&impl->queue_mtx);
	pthread_rwlock_destroy(&impl->is_running_mtx);
}

} // extern "C"
