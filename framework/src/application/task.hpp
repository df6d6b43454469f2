// Task<T>: a C++20 coroutine that is a Future. Inside it, co_await any Future; a pending one
// suspends the coroutine until the task is polled again and the awaited future is ready.
#pragma once

#include "application/future.hpp"

#include <coroutine>
#include <optional>
#include <utility>

namespace bw {

namespace task_detail {

[[noreturn]] void fatal_unhandled_exception();

struct PromiseBase {
	// The waker of the current poll; valid only while the task is being polled.
	const Waker* waker = nullptr;
	// The future this coroutine is suspended on, with the function that polls it again.
	void* awaited = nullptr;
	bool (*poll_awaited)(void* awaited) = nullptr;

	std::suspend_always initial_suspend() noexcept { return {}; }
	std::suspend_always final_suspend() noexcept { return {}; }
	void unhandled_exception() { fatal_unhandled_exception(); }

	template <class F>
	struct Awaiter {
		F future; // a reference for an awaited lvalue, else the future itself
		PromiseBase* promise;

		bool await_ready() { return future.poll(*promise->waker); }
		void await_suspend(std::coroutine_handle<>) {
			promise->awaited = this;
			promise->poll_awaited = [](void* self) {
				auto* awaiter = static_cast<Awaiter*>(self);
				return awaiter->future.poll(*awaiter->promise->waker);
			};
		}
		decltype(auto) await_resume() {
			if constexpr (!std::is_void_v<typename std::remove_cvref_t<F>::Output>) return future.take_output();
		}
	};

	template <class F>
	    requires Future<std::remove_cvref_t<F>>
	Awaiter<F> await_transform(F&& future) {
		return Awaiter<F>{std::forward<F>(future), this};
	}
};

template <class T>
struct Promise : PromiseBase {
	std::optional<T> output;
	template <class U>
	void return_value(U&& value) {
		output.emplace(std::forward<U>(value));
	}
};

template <>
struct Promise<void> : PromiseBase {
	void return_void() {}
};

} // namespace task_detail

template <class T = void>
class [[nodiscard]] Task {
public:
	using Output = T;

	struct promise_type : task_detail::Promise<T> {
		Task get_return_object() { return Task(std::coroutine_handle<promise_type>::from_promise(*this)); }
	};

	Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
	Task& operator=(Task&& other) noexcept {
		if (this != &other) {
			if (handle_) handle_.destroy();
			handle_ = std::exchange(other.handle_, nullptr);
		}
		return *this;
	}
	~Task() {
		if (handle_) handle_.destroy();
	}

	// Runs the coroutine until it suspends on a pending future or completes. When the awaited future
	// is still not ready, nothing else happens. A completed task stays ready.
	bool poll(const Waker& waker) {
		if (handle_.done()) return true;
		auto& promise = handle_.promise();
		promise.waker = &waker;
		if (promise.poll_awaited != nullptr) {
			if (!promise.poll_awaited(promise.awaited)) return false;
			promise.poll_awaited = nullptr;
			promise.awaited = nullptr;
		}
		handle_.resume();
		return handle_.done();
	}

	T take_output()
	    requires(!std::is_void_v<T>)
	{
		return std::move(*handle_.promise().output);
	}

private:
	explicit Task(std::coroutine_handle<promise_type> handle) : handle_(handle) {}
	std::coroutine_handle<promise_type> handle_;
};

} // namespace bw
