// The zoom factors a browser window steps through with Ctrl+Plus, Ctrl+Minus and Ctrl+wheel: the
// fixed table browsers use, so that each step lands on a round percentage and stepping back returns
// to 100 %. Shared by the engine bindings.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

namespace bw {

inline constexpr double min_zoom = 0.25;
inline constexpr double max_zoom = 5.0;
inline constexpr std::array<double, 17> zoom_steps{0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};

// Within 0.25 to 5; what is not a number is 1.
inline double clamp_zoom(double factor) { return std::isnan(factor) ? 1.0 : std::clamp(factor, min_zoom, max_zoom); }

// The next step above the factor, or below it; a factor between steps (set by the program) goes to
// the nearest step in that direction.
inline double zoom_step_in(double factor) {
	for (double step : zoom_steps)
		if (step > factor + 0.001) return step;
	return max_zoom;
}

inline double zoom_step_out(double factor) {
	for (auto step = zoom_steps.rbegin(); step != zoom_steps.rend(); ++step)
		if (*step < factor - 0.001) return *step;
	return min_zoom;
}

} // namespace bw
