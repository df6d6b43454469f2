// A lower-layer application for one test, initialised on the test's thread and freed afterwards.
#pragma once

#include "application/application.hpp"
#include "core/application.hpp"

#include <bw/application.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace bw::testing {

// The exit code a run ends with when its watchdog had to stop it.
constexpr int watchdog_exit_code = 99;

class TestApplication {
public:
	TestApplication() {
		bw_ApplicationSettings settings{{0, nullptr}, 0, {0, nullptr}};
		bw_Err error = bw_Application_initialize(&app_, 0, nullptr, &settings);
		EXPECT_EQ(error.code, 0u);
		bw_Err_free(&error);
	}
	~TestApplication() { bw_Application_free(app_); }
	TestApplication(const TestApplication&) = delete;
	TestApplication& operator=(const TestApplication&) = delete;

	bw_Application* get() const { return app_; }
	ApplicationImpl impl() const { return ApplicationImpl(app_); }

	// Runs the loop with on_ready; a watchdog ends a hung run with watchdog_exit_code.
	int run(std::function<void(bw_Application*)> on_ready, std::chrono::seconds watchdog = std::chrono::seconds(30)) {
		struct Ready {
			std::function<void(bw_Application*)> on_ready;
			uint64_t watchdog_ms;
		} ready{std::move(on_ready), static_cast<uint64_t>(std::chrono::milliseconds(watchdog).count())};
		return bw_Application_run(
		    app_,
		    [](bw_Application* app, void* data) {
			    auto* ready = static_cast<Ready*>(data);
			    bw_Application_dispatchDelayed(
			        app, [](bw_Application* app, void*) { bw_Application_exit(app, watchdog_exit_code); }, nullptr, ready->watchdog_ms);
			    ready->on_ready(app);
		    },
		    &ready);
	}

	// Runs the loop with one main task, as Runtime::run_async does: when the task ends the application
	// is marked done, which ends the loop with 0 once no window is left.
	int run_main(std::function<Task<>(ApplicationHandle)> main, std::chrono::seconds watchdog = std::chrono::seconds(30)) {
		return run(
		    [main = std::move(main)](bw_Application* raw) {
			    ApplicationHandle handle{ApplicationImpl(raw)};
			    handle.spawn([](ApplicationHandle handle, std::function<Task<>(ApplicationHandle)> main) -> Task<> {
				    co_await main(handle);
				    handle.impl().mark_as_done();
			    }(handle, main));
		    },
		    watchdog);
	}

private:
	bw_Application* app_ = nullptr;
};

} // namespace bw::testing
