// GTK part of a native window record.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

// A size or position asked for, and what GTK read before, until GTK reads something else.
struct bw_WindowGtkPending {
	bool asked;
	int first;  // width or x
	int second; // height or y
	int first_before;
	int second_before;
};

struct bw_WindowImpl {
	GtkWidget* handle; // the GtkWindow
	int32_t closed;
	bool minimizable;
	uint8_t opacity;
	// Settled by the getters, which take the record as const.
	mutable bw_WindowGtkPending size;     // of the client area
	mutable bw_WindowGtkPending position; // of the frame
};
