/* The GTK side of a native window, for the browser engine binding. Linux only. */
#ifndef BW_WINDOW_GTK_H
#define BW_WINDOW_GTK_H

#include "window.h"

#include <gtk/gtk.h>

BW_EXTERN_C_BEGIN

/* The GtkWindow; the engine binding adds its view as the window's only child. */
GtkWidget* bw_WindowGtk_getHandle(const bw_Window* window);

/* Supplied by the engine binding: called when the window's client area got a new size (its
   allocation), with the same rectangle order as on Windows. */
void bw_WindowGtk_onResize(bw_Window* window, int left, int right, int top, int bottom);

BW_EXTERN_C_END

#endif
