// Tells a watching thread when a socket listening on a port may have closed, so that it does not
// have to ask again and again: every wake-up of a process this size costs CPU time, and the watch
// runs for as long as the window is open. Where the system does not tell, waiting only lets the
// period pass and the watcher asks each time.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace tarnwick {

class ListenerClosings {
public:
	// Cheap: nothing is asked of the system before begin().
	explicit ListenerClosings(uint16_t port);
	~ListenerClosings();
	ListenerClosings(const ListenerClosings&) = delete;
	ListenerClosings& operator=(const ListenerClosings&) = delete;

	// Takes notice of closings from now on; may take a moment, to check that the system really tells.
	// On the waiting thread, before asking whether the port is listened on for the first time.
	void begin();
	// Whether the system tells of closings; otherwise wait() returns after each period.
	bool told() const;
	// Blocks until a listener on the port may have closed, or the period passed where the system
	// does not tell, and for no longer than longest in any case; false once interrupted. One thread
	// at a time.
	bool wait(std::chrono::milliseconds period, std::chrono::milliseconds longest);
	// Ends the current and every later wait. Any thread.
	void interrupt();
	// Ends the current wait, or the next one, as if a listener may have closed. Any thread.
	void wake();

private:
	struct Impl;
	std::unique_ptr<Impl> impl_;
};

} // namespace tarnwick
