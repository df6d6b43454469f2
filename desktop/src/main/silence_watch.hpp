// Watches that the daemon keeps listening and answering. The asking is done on a thread of its own,
// and the GUI thread is woken only when the answer stops: a window left open with a healthy daemon
// costs the GUI thread nothing. Whether a socket still listens is asked for free, at once when the
// system announces a closed listener (else once a period); whether the daemon still answers HTTP
// is asked seldom, since a stopped or deadlocked daemon keeps its socket open.
#pragma once

#include "address_probe.hpp"

#include "application/future.hpp"

#include <chrono>
#include <memory>

namespace tarnwick {

struct WatchTimes {
	// How often the listener is looked for where the system does not announce its closing.
	std::chrono::milliseconds listener_every{1000};
	// How long a connection may take where the listener cannot be looked for.
	std::chrono::milliseconds connect_timeout{500};
	// How often the daemon is asked for an HTTP answer while it answers, and after an ask it left
	// unanswered; how long it has for one, and how many unanswered asks in a row mean it stopped
	// answering. Each ask is most of what an idle window costs the launcher (the loopback's TCP work
	// for the request runs on the asking thread), hence once a minute; a page load that does not end
	// has the daemon asked at once.
	std::chrono::milliseconds ask_every_while_answered{60000};
	std::chrono::milliseconds ask_every{10000};
	std::chrono::milliseconds answer_within{3000};
	int unanswered_limit = 3;
};

class SilenceWatch {
public:
	enum class Outcome {
		// stop() was called.
		Stopped,
		// Nothing listens on the port any more.
		Closed,
		// Something listens but has not answered the last asks.
		Unanswered,
	};

	// Starts asking at once; the first question comes one period later.
	SilenceWatch(DaemonAddress address, WatchTimes times);
	// Stops: the thread ends within one question's timeout.
	~SilenceWatch();
	SilenceWatch(const SilenceWatch&) = delete;
	SilenceWatch& operator=(const SilenceWatch&) = delete;

	// Ends the watch early; the future completes with Stopped. GUI thread.
	void stop();
	// Asks the daemon for an HTTP answer now rather than at the next period (a navigation to it has
	// taken long). Any thread.
	void ask_now();

	struct State;
	// Completes on the GUI thread with why the watch ended.
	struct Future {
		using Output = Outcome;
		std::shared_ptr<State> state;
		bool poll(const bw::Waker& waker);
		Outcome take_output();
	};
	Future ended() const { return Future{state_}; }

private:
	std::shared_ptr<State> state_;
};

} // namespace tarnwick
