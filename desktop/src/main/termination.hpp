// A request from outside to end the launcher (a session that logs out, a service manager, `kill`),
// handled like the user closing the window, so that the window's state is saved and the exit code
// is 0.
#pragma once

#include <functional>

namespace tarnwick::termination {

// Calls the handler on the GUI thread at each such request, instead of ending at once. Where the
// system delivers these requests as window messages (Windows), the window handles them itself and
// this does nothing.
void on_request(std::function<void()> handler);

} // namespace tarnwick::termination
