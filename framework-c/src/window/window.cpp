#include "window_record.h"

#include "../assertion.h"

#include <cstdlib>

extern "C" {

bw_Window* bw_Window_new(bw_Application* app, bw_Window* parent, bw_CStrSlice title, int width, int height, const bw_WindowOptions* options) {
	bw_Application_assertCorrectThread(app);
	auto* window = static_cast<bw_Window*>(std::malloc(sizeof(bw_Window)));
	BW_ASSERT(window != nullptr, "out of memory");
	window->app = app;
	window->parent = parent;
	window->closed = true;
	window->dropped = false;
	window->user_data = nullptr;
	window->browser = nullptr;
	window->close_filter = nullptr;
	window->close_filter_data = nullptr;
	window->impl_ = bw_WindowImpl_new(window, title, width, height, options);
	bw_Application_windowCreated(app);
	return window;
}

void bw_Window_show(bw_Window* window) {
	window->closed = false;
	bw_WindowImpl_show(&window->impl_);
}

void bw_Window_hide(bw_Window* window) {
	window->closed = true;
	bw_WindowImpl_hide(&window->impl_);
}

bw_Bool32 bw_Window_isVisible(const bw_Window* window) { return !window->closed; }

void bw_Window_close(bw_Window* window) {
	bw_WindowImpl_close(&window->impl_);
	// May free the record: nothing of it is touched afterwards.
	if (window->user_data != nullptr) bw_Window_freeUserData(window);
}

void bw_Window_free(bw_Window* window) {
	bw_Application* app = window->app;
	bw_WindowImpl_free(&window->impl_);
	std::free(window);
	bw_Application_windowFreed(app);
}

void bw_Window_setCloseFilter(bw_Window* window, bw_WindowCloseFilterFn filter, void* data) {
	window->close_filter = filter;
	window->close_filter_data = data;
}

bw_Bool32 bw_Window_closeFiltered(bw_Window* window) {
	return window->close_filter != nullptr && window->close_filter(window, window->close_filter_data) ? 1 : 0;
}

bw_Application* bw_Window_getApp(const bw_Window* window) { return window->app; }

bw_Window* bw_Window_getParent(const bw_Window* window) { return window->parent; }

bw_BrowserWindow* bw_Window_getBrowser(const bw_Window* window) { return window->browser; }

void* bw_Window_getUserData(const bw_Window* window) { return window->user_data; }

void bw_Window_setUserData(bw_Window* window, void* user_data) { window->user_data = user_data; }

} // extern "C"
