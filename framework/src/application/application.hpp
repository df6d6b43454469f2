// The application's owning objects and handles: Application, ApplicationHandle, Runtime.
#pragma once

#include "application/executor.hpp"
#include "application/sleep.hpp"
#include "application/task.hpp"
#include "core/application.hpp"
#include "cookie/cookie_jar.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace bw {

struct ApplicationSettings {
	std::optional<std::filesystem::path> engine_seperate_executable_path;
	std::optional<std::filesystem::path> resource_dir;
	std::optional<uint16_t> remote_debugging_port;

	// The running executable's directory joined with "resources".
	static std::filesystem::path default_resource_path();
};

// A freely copyable handle to the application, given to tasks and callbacks. Owns nothing.
class ApplicationHandle {
public:
	explicit ApplicationHandle(ApplicationImpl impl) : impl_(impl) {}

	ApplicationImpl impl() const { return impl_; }
	ApplicationHandle clone() const { return *this; }
	ApplicationHandle app_handle() const { return *this; }

	// Ends the loop with the code once the queue has drained; the first request counts. Any thread.
	void exit(int exit_code) const { impl_.exit(exit_code); }
	void exit_threadsafe(int exit_code) const { impl_.exit_threadsafe(exit_code); }

	// Starts a task on the GUI thread; its first poll happens before spawn returns.
	template <Future F>
	void spawn(F future) const {
		executor::spawn(impl_, std::move(future));
	}

	// The engine's global cookie jar, or none when the engine has no cookie access.
	std::optional<CookieJar> cookie_jar() const { return CookieJar::global(); }

	// A future that completes on the GUI thread once the duration has elapsed.
	SleepFuture sleep(std::chrono::nanoseconds duration) const { return SleepFuture(impl_, duration); }

	// Runs the closure once on the GUI thread. False, and the closure is dropped uncalled, when the
	// loop is not running. Any thread.
	template <class F>
	bool dispatch(F&& closure) const {
		return post(std::forward<F>(closure), [&](ApplicationImpl::Work work, void* data) { return impl_.dispatch(work, data); });
	}
	template <class F>
	bool dispatch_delayed(F&& closure, std::chrono::nanoseconds delay) const {
		return post(std::forward<F>(closure),
		            [&](ApplicationImpl::Work work, void* data) { return impl_.dispatch_delayed(work, data, delay); });
	}

	bool operator==(const ApplicationHandle&) const = default;

private:
	template <class F, class Post>
	static bool post(F&& closure, Post&& post_boxed) {
		using Closure = std::decay_t<F>;
		auto box = std::make_unique<Closure>(std::forward<F>(closure));
		ApplicationImpl::Work work = [](ApplicationImpl, void* data) {
			std::unique_ptr<Closure> owned(static_cast<Closure*>(data));
			(*owned)();
		};
		if (!post_boxed(work, box.get())) return false;
		box.release();
		return true;
	}

	ApplicationImpl impl_;
};

// Runs the message loop with the program's main task.
class Runtime {
public:
	explicit Runtime(ApplicationImpl impl) : impl_(impl) {}

	// Runs the loop with one task: the future func(handle) returns. When it completes the application
	// is marked done, which ends the loop with 0 once no window is open. Returns the exit code.
	template <class Func>
	int run_async(Func func) {
		return _run([func = std::move(func)](ApplicationHandle handle) mutable {
			Runtime(handle.impl()).spawn(main_task(handle, std::move(func)));
		});
	}

	// Runs the loop; on_ready is called once with the handle before the first message is read.
	int _run(std::function<void(ApplicationHandle)> on_ready);

	template <Future F>
	void spawn(F future) const {
		executor::spawn(impl_, std::move(future));
	}

	ApplicationHandle app_handle() const { return ApplicationHandle(impl_); }

private:
	template <class Func>
	static Task<> main_task(ApplicationHandle handle, Func func) {
		{
			auto main_future = func(handle.clone());
			co_await std::move(main_future);
		}
		handle.impl().mark_as_done();
	}

	ApplicationImpl impl_;
};

// The application itself. Made once, on the thread that becomes the GUI thread.
class Application {
public:
	explicit Application(ApplicationHandle handle) : impl_(handle.impl()) {}

	// Initialises the application for this process: its arguments and the settings go to the lower
	// layer. Fails with the lower layer's error (for example, no display to show windows on).
	static Result<Application> initialize(const ApplicationSettings& settings = {});

	Runtime start() const { return Runtime(impl_); }
	ApplicationHandle app_handle() const { return ApplicationHandle(impl_); }
	// Nothing to do: the record lives until the process ends.
	void finish() const {}

private:
	explicit Application(ApplicationImpl impl) : impl_(impl) {}
	ApplicationImpl impl_;
};

} // namespace bw
