// A browser engine for tests: it makes the real lower-layer records and native windows, and
// announces a window after one dispatched step, as a real engine announces it after its first
// navigation. Scripts are JSON literals (a script starting with "throw" fails); page messages are
// posted by the test. Everything it is asked is written to its call log.
#pragma once

#include "browser/browser_window.hpp"

#include <string>
#include <vector>

namespace bw::test_engine {

struct Log {
	std::vector<std::string> calls;
	int live_engines = 0; // engine objects made and not yet released
	int resizes = 0;      // resize hook calls for windows that have a browser
	int resizes_without_browser = 0;
};

Log& log();
void reset();

// While false, new windows are not announced until announce_pending() or drop_pending().
void set_announce(bool announce);
void announce_pending();
// Drops the creation callbacks unannounced, as an engine that gave up would.
void drop_pending();

// The page of the window posts the JSON text as a message.
void post_message(bw_BrowserWindow* browser, const std::string& json);

} // namespace bw::test_engine
