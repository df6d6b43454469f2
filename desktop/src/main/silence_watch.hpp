// Watches that the daemon keeps accepting connections. The asking is done on a thread of its own,
// once a period, and the GUI thread is woken only when the answer stops: a window left open with a
// healthy daemon costs the GUI thread nothing.
#pragma once

#include "address_probe.hpp"

#include "application/future.hpp"

#include <chrono>
#include <memory>

namespace tarnwick {

class SilenceWatch {
public:
	// Starts asking at once; the first question comes one period later.
	SilenceWatch(DaemonAddress address, std::chrono::milliseconds every, std::chrono::milliseconds timeout);
	// Stops: the thread ends within one question's timeout.
	~SilenceWatch();
	SilenceWatch(const SilenceWatch&) = delete;
	SilenceWatch& operator=(const SilenceWatch&) = delete;

	// Ends the watch early; the future completes with false. GUI thread.
	void stop();

	struct State;
	// Completes on the GUI thread: true when the address stopped answering, false when stopped.
	struct Future {
		using Output = bool;
		std::shared_ptr<State> state;
		bool poll(const bw::Waker& waker);
		bool take_output();
	};
	Future ended() const { return Future{state_}; }

private:
	std::shared_ptr<State> state_;
};

} // namespace tarnwick
