#include "support/user_actions.hpp"

#include <bw/window_win32.h>

namespace bw::testing {

void user_close(bw_Window* window) { PostMessageW(bw_WindowWin32_getHandle(window), WM_SYSCOMMAND, SC_CLOSE, 0); }

bool system_visible(bw_Window* window) { return IsWindowVisible(bw_WindowWin32_getHandle(window)) != FALSE; }

} // namespace bw::testing
