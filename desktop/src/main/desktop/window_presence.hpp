// Hiding the window while the status icon stands in for it, and bringing it back as it was (the
// page stays loaded). GUI thread.
#pragma once

#include "window/window_handle.hpp"

namespace tarnwick::window_presence {

// On screen: shown and not minimised.
bool on_screen(const bw::WindowHandle& window);
// Hidden (not merely minimised).
bool hidden(const bw::WindowHandle& window);
void hide(const bw::WindowHandle& window);
// Shows it, de-iconifies and raises it.
void show(const bw::WindowHandle& window);
void minimize(const bw::WindowHandle& window);

} // namespace tarnwick::window_presence
