// The upper layer's binding to the lower layer's application record.
#pragma once

#include "core/error.hpp"

#include <bw/application.h>

#include <chrono>

namespace bw {

class ApplicationImpl;

// A call boxed for the GUI thread: invocation_handler runs it once and frees the box.
struct DispatchData {
	void (*work)(ApplicationImpl app, void* data);
	void* data;
};

// The lower layer's handler for every boxed DispatchData.
extern "C" void invocation_handler(bw_Application* app, void* dispatch_data);

// A copy of the record pointer; owns nothing.
class ApplicationImpl {
public:
	using Work = void (*)(ApplicationImpl app, void* data);

	explicit ApplicationImpl(bw_Application* inner) : inner_(inner) {}

	static Result<ApplicationImpl> initialize(int argc, char** argv, const bw_ApplicationSettings& settings);

	// Runs the message loop; on_ready(app, data) runs before the first message is read. GUI thread.
	int run(Work on_ready, void* data) const;
	void exit(int exit_code) const { bw_Application_exit(inner_, exit_code); }
	void exit_threadsafe(int exit_code) const { bw_Application_exitAsync(inner_, exit_code); }
	void mark_as_done() const { bw_Application_markAsDone(inner_); }
	void assert_correct_thread() const { bw_Application_assertCorrectThread(inner_); }
	bool is_running() const { return bw_Application_isRunning(inner_) != 0; }

	// Runs work(app, data) on the GUI thread. False when the loop is not running: work never runs.
	bool dispatch(Work work, void* data) const;
	// The same after the delay, counted in whole milliseconds (truncated; negative counts as zero).
	bool dispatch_delayed(Work work, void* data, std::chrono::nanoseconds delay) const;

	bw_Application* inner() const { return inner_; }
	bool operator==(const ApplicationImpl&) const = default;

private:
	bw_Application* inner_;
};

} // namespace bw
