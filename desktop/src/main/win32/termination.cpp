#include "termination.hpp"

namespace tarnwick::termination {

// Windows asks a GUI program to end through WM_CLOSE and WM_ENDSESSION, which reach the window.
void on_request(std::function<void()>) {}

} // namespace tarnwick::termination
