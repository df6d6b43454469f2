#include "background.hpp"

#include <condition_variable>
#include <deque>
#include <thread>

namespace tarnwick {

namespace {

struct Queue {
	std::mutex mutex;
	std::condition_variable ready;
	std::deque<std::function<void()>> work;
};

[[noreturn]] void serve(Queue& queue) {
	for (;;) {
		std::function<void()> next;
		{
			std::unique_lock lock(queue.mutex);
			queue.ready.wait(lock, [&] { return !queue.work.empty(); });
			next = std::move(queue.work.front());
			queue.work.pop_front();
		}
		next();
	}
}

} // namespace

void run_in_background(std::function<void()> work) {
	// Never destroyed: the thread may still wait on it while the process exits.
	static Queue& queue = *new Queue;
	static std::once_flag started;
	std::call_once(started, [] { std::thread([] { serve(queue); }).detach(); });
	{
		std::lock_guard lock(queue.mutex);
		queue.work.push_back(std::move(work));
	}
	queue.ready.notify_one();
}

} // namespace tarnwick
