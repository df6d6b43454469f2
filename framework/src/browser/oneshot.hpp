// A one-shot channel: one value sent from a callback to the task that awaits it. The receiver is a
// Future that completes with the value, or with nothing once the sender is dropped unsent. Either
// end may live on any thread.
#pragma once

#include "application/future.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace bw::oneshot {

template <class T>
struct State {
	std::mutex mutex;
	std::optional<T> value;
	std::optional<Waker> waker;
	bool sender_alive = true;
	bool receiver_alive = true;
};

template <class T>
class Sender {
public:
	explicit Sender(std::shared_ptr<State<T>> state) : state_(std::move(state)) {}
	Sender(Sender&&) noexcept = default;
	Sender& operator=(Sender&&) = delete;
	~Sender() {
		if (state_) finish(std::nullopt);
	}

	// False, and the value is dropped, when the receiver is gone. Sends at most once.
	bool send(T value) { return finish(std::move(value)); }

private:
	bool finish(std::optional<T> value) {
		std::optional<Waker> waker;
		bool delivered = false;
		{
			std::lock_guard lock(state_->mutex);
			if (!state_->sender_alive) return false;
			state_->sender_alive = false;
			if (value && state_->receiver_alive) {
				state_->value = std::move(value);
				delivered = true;
			}
			waker = std::move(state_->waker);
		}
		if (waker) waker->wake();
		return delivered;
	}

	std::shared_ptr<State<T>> state_;
};

// Output: the value, or nothing when the channel was cancelled.
template <class T>
class Receiver {
public:
	using Output = std::optional<T>;

	explicit Receiver(std::shared_ptr<State<T>> state) : state_(std::move(state)) {}
	Receiver(Receiver&&) noexcept = default;
	Receiver& operator=(Receiver&&) = delete;
	~Receiver() {
		if (!state_) return;
		std::lock_guard lock(state_->mutex);
		state_->receiver_alive = false;
		state_->value.reset();
	}

	bool poll(const Waker& waker) {
		std::lock_guard lock(state_->mutex);
		if (state_->value || !state_->sender_alive) return true;
		state_->waker = waker;
		return false;
	}
	Output take_output() {
		std::lock_guard lock(state_->mutex);
		return std::exchange(state_->value, std::nullopt);
	}

private:
	std::shared_ptr<State<T>> state_;
};

template <class T>
std::pair<Sender<T>, Receiver<T>> channel() {
	auto state = std::make_shared<State<T>>();
	return {Sender<T>(state), Receiver<T>(state)};
}

// The diagnostic form of a channel closed without a value.
inline constexpr const char* canceled_debug = "Canceled";

} // namespace bw::oneshot
