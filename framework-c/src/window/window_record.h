// The native window record and the seam between its platform-neutral front and the platform parts.
// window_impl.h comes from the platform's directory, which the build puts on the include path.
#pragma once

#include <bw/window.h>

#include "window_impl.h"

struct bw_Window {
	bw_Application* app;
	bw_Window* parent;
	bool closed; // hidden by this layer
	bool dropped;
	void* user_data;
	bw_BrowserWindow* browser;
	bw_WindowCloseFilterFn close_filter;
	void* close_filter_data;
	bw_WindowImpl impl_;
};

extern "C" {

// Creates the system window, hidden, linked to the record.
bw_WindowImpl bw_WindowImpl_new(bw_Window* window, bw_CStrSlice title, int width, int height, const bw_WindowOptions* options);
void bw_WindowImpl_show(bw_WindowImpl* impl);
void bw_WindowImpl_hide(bw_WindowImpl* impl);
void bw_WindowImpl_close(bw_WindowImpl* impl);
// Unlinks the system window from the record that is about to be freed.
void bw_WindowImpl_free(bw_WindowImpl* impl);

} // extern "C"
