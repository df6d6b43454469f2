/* Browser windows: a native window whose client area the browser engine's view fills. GUI thread. */
#ifndef BW_BROWSER_WINDOW_H
#define BW_BROWSER_WINDOW_H

#include "application.h"
#include "common.h"
#include "string.h"
#include "window.h"

BW_EXTERN_C_BEGIN

/* The engine's two objects, each in a cell of its own that the engine binding allocates. Empty until
   the engine is ready, and again after the binding released them. */
typedef struct bw_BrowserWindowImpl {
	void* webview;
	void* controller;
} bw_BrowserWindowImpl;

typedef struct bw_BrowserWindowOptions {
	int32_t dev_tools; /* enabled when greater than 0 */
	bw_CStrSlice resource_path;
} bw_BrowserWindowOptions;

typedef struct bw_BrowserWindowSource {
	bw_CStrSlice data;
	bw_Bool32 is_html;
} bw_BrowserWindowSource;

typedef struct bw_Event {
	void (*callback)(void* data);
	void* data;
} bw_Event;

typedef struct bw_BrowserWindowEvents {
	bw_Event on_address_changed;
	bw_Event on_console_message;
	bw_Event on_favicon_changed;
	bw_Event on_fullscreen_mode_changed;
	bw_Event on_loading_progress_changed;
	bw_Event on_message;
	bw_Event on_navigation_start;
	bw_Event on_navigation_end;
	bw_Event on_page_title_changed;
	bw_Event on_status_message;
	bw_Event on_tooltip;
} bw_BrowserWindowEvents;

typedef struct bw_BrowserWindowMessageArgs {
	bw_CStrSlice cmd;
	size_t arg_count;
	void* args;
} bw_BrowserWindowMessageArgs;

struct bw_BrowserWindow {
	bw_Window* window;
	bw_BrowserWindowImpl impl_;
	bw_BrowserWindowEvents events;
};

/* A new record with its hidden native window (made by bw_Window_new with the same arguments). */
bw_BrowserWindow* bw_BrowserWindow_new(bw_Application* app, bw_Window* parent, bw_CStrSlice title, int width, int height,
                                       const bw_WindowOptions* options);
bw_Window* bw_BrowserWindow_getWindow(bw_BrowserWindow* browser);
bw_Application* bw_BrowserWindow_getApp(bw_BrowserWindow* browser);
/* Hands over to the engine part, which here only clears the engine slots: the upper layer's
   binding makes the engine objects. */
void bw_BrowserWindow_create(bw_BrowserWindow* browser, int width, int height, bw_BrowserWindowSource source, void* a, void* b, void* c);
void bw_BrowserWindowImpl_new(bw_BrowserWindow* browser, bw_BrowserWindowSource source, int width, int height, void* a, void* b, void* c);
/* Cleans the engine part. The record itself is released with bw_BrowserWindow_release. */
void bw_BrowserWindow_free(bw_BrowserWindow* browser);
void bw_BrowserWindowImpl_clean(bw_BrowserWindowImpl* impl);
/* Releases the record once its owner is gone (its native window is freed separately). */
void bw_BrowserWindow_release(bw_BrowserWindow* browser);

BW_EXTERN_C_END

#endif
