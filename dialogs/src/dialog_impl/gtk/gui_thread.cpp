#include "dialog_impl/gtk/gui_thread.hpp"

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace bw::dialogs::impl {

namespace {

struct Call {
	const std::function<void()>* work = nullptr;
	std::mutex mutex;
	std::condition_variable finished;
	bool started = false;
	bool done = false;
};

gboolean run_call(gpointer data) {
	auto* call = static_cast<Call*>(data);
	{
		std::lock_guard lock(call->mutex);
		if (call->started) return G_SOURCE_REMOVE;
		call->started = true;
	}
	(*call->work)();
	// Notified under the lock: the waiter may free the call as soon as it sees done.
	std::lock_guard lock(call->mutex);
	call->done = true;
	call->finished.notify_all();
	return G_SOURCE_REMOVE;
}

} // namespace

void on_gui_thread(const std::function<void()>& work) {
	GMainContext* context = g_main_context_default();
	// Inside the loop (a task, a dispatched call, a handler, a dialog's nested loop) this thread holds
	// the context.
	if (g_main_context_is_owner(context)) {
		work();
		return;
	}
	Call call;
	call.work = &work;
	GSource* source = g_idle_source_new();
	g_source_set_priority(source, G_PRIORITY_DEFAULT);
	g_source_set_callback(source, run_call, &call, nullptr);
	g_source_attach(source, context);
	std::unique_lock lock(call.mutex);
	while (!call.finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return call.done; })) {
		if (call.started || !g_main_context_acquire(context)) continue;
		// A running loop dispatches a ready call in its next iteration, and holds the context while it
		// dispatches: free and still not started, no loop runs (or this thread is the loop's, outside
		// an iteration). Nothing else would ever run the call.
		call.started = true;
		lock.unlock();
		g_source_destroy(source);
		work();
		g_main_context_release(context);
		lock.lock();
		break;
	}
	lock.unlock();
	g_source_unref(source);
}

} // namespace bw::dialogs::impl
