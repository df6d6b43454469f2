#include "silence_watch.hpp"

#include "listener_closings.hpp"
#include "port_owner.hpp"

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tarnwick {

namespace {

// A socket listening is what a connection would find; asked without one where the system can tell.
bool listens(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	if (std::optional<bool> listened = loopback_port_listened(address.port)) return *listened;
	return connects(address, timeout);
}

} // namespace

struct SilenceWatch::State {
	explicit State(uint16_t port) : closings(port) {}

	ListenerClosings closings;
	std::mutex mutex;
	bool stopped = false;
	bool ask_now = false;
	std::optional<Outcome> outcome;
	std::optional<bw::Waker> waker;

	bool is_stopped() {
		std::lock_guard lock(mutex);
		return stopped;
	}

	bool take_ask_now() {
		std::lock_guard lock(mutex);
		return std::exchange(ask_now, false);
	}

	// Records the outcome once and wakes whoever awaits it.
	void finish(Outcome how) {
		std::optional<bw::Waker> to_wake;
		{
			std::lock_guard lock(mutex);
			if (outcome) return;
			outcome = how;
			to_wake = waker;
		}
		if (to_wake) to_wake->wake();
	}
};

SilenceWatch::SilenceWatch(DaemonAddress address, WatchTimes times) : state_(std::make_shared<State>(address.port)) {
	// Detached: it holds the state, and ends at the next wake-up after stop().
	std::thread([state = state_, address = std::move(address), times] {
		using Clock = std::chrono::steady_clock;
		// Asked at once too: the listener may have closed before its closings were noticed.
		state->closings.begin();
		auto next_ask = Clock::now() + times.ask_every_while_answered;
		int unanswered = 0;
		RepeatedAsks asks(address);
		std::chrono::milliseconds until_ask{0};
		bool first = true;
		do {
			if (state->is_stopped()) return;
			bool ask = state->take_ask_now() || Clock::now() >= next_ask;
			// Where the system tells of closings, a wake-up to ask needs no look at the listener
			// first: an answer shows it is there, and only a missing one is looked into. Every
			// call costs the idle window CPU time.
			if ((first || !ask || !state->closings.told()) && !listens(address, times.connect_timeout)) return state->finish(Outcome::Closed);
			first = false;
			if (ask) {
				auto asked_at = Clock::now();
				bool answered = asks.answered(times.answer_within);
				if (state->is_stopped()) return;
				if (!answered && state->closings.told() && !listens(address, times.connect_timeout)) return state->finish(Outcome::Closed);
				unanswered = answered ? 0 : unanswered + 1;
				if (unanswered >= times.unanswered_limit) return state->finish(Outcome::Unanswered);
				next_ask = asked_at + (unanswered == 0 ? times.ask_every_while_answered : times.ask_every);
			}
			until_ask = std::max(std::chrono::duration_cast<std::chrono::milliseconds>(next_ask - Clock::now()), std::chrono::milliseconds(1));
		} while (state->closings.wait(times.listener_every, until_ask));
	}).detach();
}

SilenceWatch::~SilenceWatch() { stop(); }

void SilenceWatch::ask_now() {
	{
		std::lock_guard lock(state_->mutex);
		state_->ask_now = true;
	}
	state_->closings.wake();
}

void SilenceWatch::stop() {
	{
		std::lock_guard lock(state_->mutex);
		state_->stopped = true;
	}
	state_->closings.interrupt();
	state_->finish(Outcome::Stopped);
}

bool SilenceWatch::Future::poll(const bw::Waker& waker) {
	std::lock_guard lock(state->mutex);
	if (state->outcome) return true;
	state->waker = waker;
	return false;
}

SilenceWatch::Outcome SilenceWatch::Future::take_output() {
	std::lock_guard lock(state->mutex);
	return *state->outcome;
}

} // namespace tarnwick
