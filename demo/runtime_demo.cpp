// A small program on the application runtime: a main task that waits on timers and on work done by
// another thread, then ends, which ends the program with exit code 0.
#include "application/application.hpp"
#include "application/task.hpp"

#include <cstdio>
#include <thread>

namespace {

// A future completed by another thread: it dispatches the result to the GUI thread and wakes the task.
struct BackgroundSum {
	using Output = long long;
	bw::ApplicationHandle app;
	long long up_to;
	std::shared_ptr<std::optional<long long>> result = std::make_shared<std::optional<long long>>();
	bool started = false;

	bool poll(const bw::Waker& waker) {
		if (!started) {
			started = true;
			std::thread([app = app, up_to = up_to, result = result, waker] {
				long long sum = 0;
				for (long long i = 1; i <= up_to; i++) sum += i;
				app.dispatch([result, sum, waker] {
					*result = sum;
					waker.wake();
				});
			}).detach();
		}
		return result->has_value();
	}
	long long take_output() { return **result; }
};

bw::Task<> main_task(bw::ApplicationHandle app) {
	for (int i = 1; i <= 3; i++) {
		co_await app.sleep(std::chrono::milliseconds(300));
		std::printf("tick %d\n", i);
		std::fflush(stdout);
	}
	long long sum = co_await BackgroundSum{app, 10'000'000};
	std::printf("sum computed on another thread: %lld\n", sum);
}

} // namespace

int main() {
	auto app = bw::Application::initialize();
	if (!app.ok()) {
		std::fprintf(stderr, "%s\n", app.error().to_string().c_str());
		return 1;
	}
	int code = app.value().start().run_async(main_task);
	std::printf("exit code %d\n", code);
	return code;
}
