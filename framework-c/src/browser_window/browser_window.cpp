#include "../window/window_record.h"

#include "../assertion.h"

#include <bw/browser_window.h>

#include <cstdlib>
#include <cstring>

extern "C" {

bw_BrowserWindow* bw_BrowserWindow_new(bw_Application* app, bw_Window* parent, bw_CStrSlice title, int width, int height,
                                       const bw_WindowOptions* options) {
	bw_Application_assertCorrectThread(app);
	auto* browser = static_cast<bw_BrowserWindow*>(std::malloc(sizeof(bw_BrowserWindow)));
	BW_ASSERT(browser != nullptr, "out of memory");
	std::memset(&browser->events, 0, sizeof browser->events);
	browser->impl_ = bw_BrowserWindowImpl{nullptr, nullptr};
	browser->window = bw_Window_new(app, parent, title, width, height, options);
	browser->window->browser = browser;
	return browser;
}

bw_Window* bw_BrowserWindow_getWindow(bw_BrowserWindow* browser) { return browser->window; }

bw_Application* bw_BrowserWindow_getApp(bw_BrowserWindow* browser) { return browser->window->app; }

void bw_BrowserWindow_create(bw_BrowserWindow* browser, int width, int height, bw_BrowserWindowSource source, void* a, void* b, void* c) {
	bw_BrowserWindowImpl_new(browser, source, width, height, a, b, c);
}

void bw_BrowserWindowImpl_new(bw_BrowserWindow* browser, bw_BrowserWindowSource, int, int, void*, void*, void*) {
	browser->impl_ = bw_BrowserWindowImpl{nullptr, nullptr};
}

void bw_BrowserWindow_free(bw_BrowserWindow* browser) { bw_BrowserWindowImpl_clean(&browser->impl_); }

void bw_BrowserWindowImpl_clean(bw_BrowserWindowImpl*) {}

void bw_BrowserWindow_release(bw_BrowserWindow* browser) { std::free(browser); }

} // extern "C"
