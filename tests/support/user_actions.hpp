// What a user does to a window, done the way the user's system does it, from outside the program's
// own functions: the close button, and what the system says about the window.
#pragma once

#include "application/application.hpp"

#include <bw/window.h>

#include <chrono>
#include <functional>

namespace bw::testing {

// Asks the window to close as its title bar's close button does (a WM_CLOSE from the system menu
// on Windows, a WM_DELETE_WINDOW request from another X client on Linux). It arrives through the
// message loop.
void user_close(bw_Window* window);

// Whether the system shows the window.
bool system_visible(bw_Window* window);

// Polls the condition every 20 ms until it holds or the timeout passed; GTK applies sizes and
// positions asynchronously.
Task<bool> eventually(ApplicationHandle app, std::function<bool()> condition, std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace bw::testing
