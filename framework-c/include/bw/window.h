/* Native windows: creation, the getters and setters, show and hide, close and free. GUI thread. */
#ifndef BW_WINDOW_H
#define BW_WINDOW_H

#include "application.h"
#include "common.h"
#include "string.h"

BW_EXTERN_C_BEGIN

typedef struct bw_Window bw_Window;
typedef struct bw_BrowserWindow bw_BrowserWindow;

/* Sizes and positions in pixels. Values read from the system keep their low 16 bits. */
typedef struct bw_Dims2D {
	uint16_t width;
	uint16_t height;
} bw_Dims2D;

typedef struct bw_Pos2D {
	uint16_t x;
	uint16_t y;
} bw_Pos2D;

/* Only read during bw_Window_new. */
typedef struct bw_WindowOptions {
	bw_Bool32 borders;
	bw_Bool32 minimizable;
	bw_Bool32 resizable;
} bw_WindowOptions;

typedef void (*bw_WindowDispatchFn)(bw_Window* window, void* data);

typedef struct bw_WindowDispatchData {
	bw_WindowDispatchFn func;
	bw_Window* window;
	void* data;
} bw_WindowDispatchData;

/* A new hidden window; width and height of -1 mean not given. The title is borrowed. */
bw_Window* bw_Window_new(bw_Application* app, bw_Window* parent, bw_CStrSlice title, int width, int height, const bw_WindowOptions* options);
void bw_Window_show(bw_Window* window);
void bw_Window_hide(bw_Window* window);
/* Whether this layer last showed (true) or hid (false) the window. */
bw_Bool32 bw_Window_isVisible(const bw_Window* window);
/* Releases the user data; the system window stays as it is. */
void bw_Window_close(bw_Window* window);
/* Frees the record. When it was the last window and the application is done, the application exits with 0. */
void bw_Window_free(bw_Window* window);
bw_Application* bw_Window_getApp(const bw_Window* window);
bw_Window* bw_Window_getParent(const bw_Window* window);
bw_BrowserWindow* bw_Window_getBrowser(const bw_Window* window);
void* bw_Window_getUserData(const bw_Window* window);
/* Stores the pointer without releasing what was there. */
void bw_Window_setUserData(bw_Window* window, void* user_data);

bw_Dims2D bw_Window_getContentDimensions(const bw_Window* window);
bw_Dims2D bw_Window_getWindowDimensions(const bw_Window* window);
bw_Pos2D bw_Window_getPosition(const bw_Window* window);
uint8_t bw_Window_getOpacity(const bw_Window* window);
/* Stores a new NUL-terminated UTF-8 copy in *title (released with bw_string_freeCstr) and returns its
   length in bytes; an empty title returns 0 and leaves *title untouched. */
size_t bw_Window_getTitle(const bw_Window* window, char** title);
void bw_Window_setTitle(bw_Window* window, bw_CStrSlice title);
void bw_Window_setContentDimensions(bw_Window* window, bw_Dims2D dimensions);
void bw_Window_setWindowDimensions(bw_Window* window, bw_Dims2D dimensions);
void bw_Window_setPosition(bw_Window* window, bw_Pos2D position);
void bw_Window_setOpacity(bw_Window* window, uint8_t opacity);

/* Asked when the user closes the window (its close button, the window manager's close, WM_CLOSE):
   returning true keeps the window and its user data as they are, and the program decides what
   closing means (hiding it, say). NULL restores the default: the user data released and the window
   hidden. The data is borrowed for as long as the filter is set. */
typedef bw_Bool32 (*bw_WindowCloseFilterFn)(bw_Window* window, void* data);
void bw_Window_setCloseFilter(bw_Window* window, bw_WindowCloseFilterFn filter, void* data);
/* Whether the close filter keeps the window open; false without a filter. Used by the platform parts. */
bw_Bool32 bw_Window_closeFiltered(bw_Window* window);

/* Supplied by the upper layer: drops the reference the user data holds, if any, and empties the
   field first. May free the window record: callers must not touch it afterwards. */
void bw_Window_freeUserData(bw_Window* window);

BW_EXTERN_C_END

#endif
