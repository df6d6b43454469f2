// Whether a browser window's record still exists. Completions and dispatched calls may arrive after
// the owner freed the window; they hold a token and look at it before touching the record. The token
// is also the record's one per-window cell that the engine's handlers reach, so it carries what they
// share about the window.
#pragma once

#include "browser/page_capabilities.hpp"

#include <bw/browser_window.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace bw::edge2 {

struct Liveness {
	std::atomic<bool> alive{true};
	// Set by the first navigation's completion when it failed; kept here as the record's one
	// per-window cell that the engine's handlers already reach.
	std::atomic<bool> source_failed{false};
	// What the program opted into for this window; set as the record is made, never changed.
	std::shared_ptr<const PageCapabilities> capabilities;
	// Hands the window to the program; emptied when called, so that it happens once. GUI thread.
	std::function<void()> announce;
	// The zoom factor the binding itself set last, until the engine next reports a change: that
	// report is not the user's. GUI thread.
	std::optional<double> zoom_set;
	// The runtime cannot hand page notifications to the program: they are denied. Set as the view
	// is set up.
	bool notifications_unsupported = false;
};

// A new token for a new record. GUI thread.
std::shared_ptr<Liveness> liveness_begin(bw_BrowserWindow* record, std::shared_ptr<const PageCapabilities> capabilities);
// The record's token; a dead one for a record that is not (or no longer) known. Any thread.
std::shared_ptr<Liveness> liveness_of(bw_BrowserWindow* record);
// The record is being freed: its token dies. GUI thread.
void liveness_end(bw_BrowserWindow* record);

} // namespace bw::edge2
