// GTK part of a native window record.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

struct bw_WindowImpl {
	GtkWidget* handle; // the GtkWindow
	int32_t closed;
	bool minimizable;
	uint8_t opacity;
};
