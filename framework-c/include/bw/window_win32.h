/* The Win32 side of a native window, for the browser engine binding. Windows only. */
#ifndef BW_WINDOW_WIN32_H
#define BW_WINDOW_WIN32_H

#include "window.h"

#include <windows.h>

BW_EXTERN_C_BEGIN

HWND bw_WindowWin32_getHandle(const bw_Window* window);
/* The style the window was created with (the system may add bits of its own). */
uint32_t bw_WindowWin32_getStyle(const bw_Window* window);
/* The position that centres a window of the given size on the desktop. */
void bw_WindowWin32_calculatePositionCentered(int width, int height, int* x, int* y);

/* Supplied by the engine binding: fits the browser's view to the window's client rectangle. Called
   from the window procedure on WM_SIZE, also while a setter resizes the window. */
void bw_WindowWin32_onResize(bw_Window* window, int left, int right, int top, int bottom);

BW_EXTERN_C_END

#endif
