// Window sizes and positions are given and read in logical pixels, 96 to the inch, so a window is as
// large to the eye on a display scaled to 150 % as at 100 %. The system works in the display's own
// pixels.
#pragma once

#include <windows.h>

extern "C" {

// The dots per inch logical pixels are scaled by: the window's own, or the system's when no window
// is given (before one exists).
UINT bw_WindowWin32_scaleDpi(HWND window);

int bw_WindowWin32_toPhysical(int logical, UINT dpi);
int bw_WindowWin32_toLogical(int physical, UINT dpi);

// Scales by this many dots per inch instead of what the system reports, so that tests can see a
// scaled display on one that is not; 0 goes back to the system's.
void bw_WindowWin32_overrideScaleDpi(UINT dpi);

} // extern "C"
