// Whether a browser window's record still exists. Completions and dispatched calls may arrive after
// the owner freed the window; they hold a token and look at it before touching the record.
#pragma once

#include <bw/browser_window.h>

#include <atomic>
#include <memory>

namespace bw::edge2 {

struct Liveness {
	std::atomic<bool> alive{true};
	// Set by the first navigation's completion when it failed; kept here as the record's one
	// per-window cell that the engine's handlers already reach.
	std::atomic<bool> source_failed{false};
};

// A new token for a new record. GUI thread.
std::shared_ptr<Liveness> liveness_begin(bw_BrowserWindow* record);
// The record's token; a dead one for a record that is not (or no longer) known. Any thread.
std::shared_ptr<Liveness> liveness_of(bw_BrowserWindow* record);
// The record is being freed: its token dies. GUI thread.
void liveness_end(bw_BrowserWindow* record);

} // namespace bw::edge2
