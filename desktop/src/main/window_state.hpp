// The launcher window's size, position, maximised state and page zoom, kept between launches in a small text
// file of "key=value" lines.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct WindowState {
	int width = 1024;
	int height = 768;
	// Absent where the system gives no position (Wayland).
	std::optional<int> x, y;
	bool maximized = false;
	double zoom = 1.0;
};

// A monitor's work area (without task bars and docks), in the coordinates of the window state.
struct WorkArea {
	int x = 0, y = 0, width = 0, height = 0;
};

// The state as it may be placed in the work area of the monitor it lands on: a size that does not
// fit (the file of a larger monitor, or damaged) gives way to the default size, itself cut to the
// area; a position moves as far as needed for the whole window to lie in the area. An empty area
// (the system named none) changes nothing.
WindowState fitted_to(WindowState state, const WorkArea& work);

// The zoom factor kept: the framework's range; what is not finite is 1.
double clamped_zoom(double factor);

// The state in the text, or nothing when any line is malformed or a value is out of range. The zoom
// is forgiving, as files from before it and a zoom gone wrong must not lose the geometry: missing
// or unreadable it is 1, out of range it is clamped.
std::optional<WindowState> parse_window_state(std::string_view text);
std::string format_window_state(const WindowState& state);

// The saved state; the defaults when there is none. A file that cannot be read or is corrupt also
// gives the defaults, with one line on standard error.
WindowState load_window_state(const std::filesystem::path& file);
// Writes through a temporary file, so a failed write keeps the previous state; false on failure.
bool save_window_state(const std::filesystem::path& file, const WindowState& state);

} // namespace tarnwick
