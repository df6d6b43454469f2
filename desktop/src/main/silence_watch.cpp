#include "silence_watch.hpp"

#include "listener_closings.hpp"
#include "port_owner.hpp"

#include <mutex>
#include <optional>
#include <thread>

namespace tarnwick {

namespace {

// A socket listening is what a connection would find; asked without one where the system can tell.
bool answers(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	if (std::optional<bool> listened = loopback_port_listened(address.port)) return *listened;
	return connects(address, timeout);
}

} // namespace

struct SilenceWatch::State {
	explicit State(uint16_t port) : closings(port) {}

	ListenerClosings closings;
	std::mutex mutex;
	bool stopped = false;
	std::optional<bool> silent;
	std::optional<bw::Waker> waker;

	bool is_stopped() {
		std::lock_guard lock(mutex);
		return stopped;
	}

	// Records the outcome once and wakes whoever awaits it.
	void finish(bool went_silent) {
		std::optional<bw::Waker> to_wake;
		{
			std::lock_guard lock(mutex);
			if (silent) return;
			silent = went_silent;
			to_wake = waker;
		}
		if (to_wake) to_wake->wake();
	}
};

SilenceWatch::SilenceWatch(DaemonAddress address, std::chrono::milliseconds every, std::chrono::milliseconds timeout)
    : state_(std::make_shared<State>(address.port)) {
	// Detached: it holds the state, and ends at the next wake-up after stop().
	std::thread([state = state_, address = std::move(address), every, timeout] {
		// Asked at once too: the listener may have closed before its closings were noticed.
		state->closings.begin();
		do {
			if (state->is_stopped()) return;
			if (!answers(address, timeout)) {
				state->finish(true);
				return;
			}
		} while (state->closings.wait(every));
	}).detach();
}

SilenceWatch::~SilenceWatch() { stop(); }

void SilenceWatch::stop() {
	{
		std::lock_guard lock(state_->mutex);
		state_->stopped = true;
	}
	state_->closings.interrupt();
	state_->finish(false);
}

bool SilenceWatch::Future::poll(const bw::Waker& waker) {
	std::lock_guard lock(state->mutex);
	if (state->silent) return true;
	state->waker = waker;
	return false;
}

bool SilenceWatch::Future::take_output() {
	std::lock_guard lock(state->mutex);
	return *state->silent;
}

} // namespace tarnwick
