// What another X client sees of the launcher: its top-level windows, their sizes and pixels, and
// the close request a window manager sends when the close button is clicked. A connection of its
// own, on which a window that vanishes meanwhile is simply no longer there, never an error.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// An X window id (kept apart from the X headers, whose names clash with other headers).
using XWindowId = unsigned long;

class XDisplay {
public:
	XDisplay();
	~XDisplay();
	XDisplay(const XDisplay&) = delete;
	XDisplay& operator=(const XDisplay&) = delete;

	struct TopLevel {
		XWindowId id;
		std::string title;
		int width;
		int height;
		bool mapped;
	};
	std::vector<TopLevel> top_levels();
	// The first mapped top-level window with exactly this title.
	std::optional<TopLevel> find(const std::string& title);
	// How many distinct colours the window shows (1 for a blank one).
	int distinct_colours(XWindowId window);
	void request_close(XWindowId window);

private:
	struct Connection;
	Connection* x_;
};

} // namespace tarnwick::testing
