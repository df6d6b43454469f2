#include "../window_record.h"

#include "../../assertion.h"
#include "logical_pixels.h"
#include "window_proc.h"

#include <bw/win32.h>
#include <bw/window_win32.h>

#include <cstdlib>

namespace {

// The base style every window has: a sizing border and a maximise box, whatever the options say.
constexpr DWORD base_style = WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX;

[[noreturn]] void fail_with_last_error() {
	bw_win32_print_error(GetLastError());
	bw_failAssertion("0");
}

void set_window_pos(HWND handle, int x, int y, int width, int height, UINT flags) {
	if (!SetWindowPos(handle, nullptr, x, y, width, height, flags)) fail_with_last_error();
}

RECT window_rect(HWND handle) {
	RECT rect{};
	GetWindowRect(handle, &rect);
	return rect;
}

// The rectangle's size in logical pixels.
bw_Dims2D logical_dims_of(const RECT& rect, UINT dpi) {
	return bw_Dims2D{static_cast<uint16_t>(bw_WindowWin32_toLogical(rect.right - rect.left, dpi)),
	                 static_cast<uint16_t>(bw_WindowWin32_toLogical(rect.bottom - rect.top, dpi))};
}

bw_Window* record_of(HWND hwnd) { return reinterpret_cast<bw_Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// `borders` completes the caption; `resizable` is not consulted: every window has a sizing border.
DWORD style_for(const bw_WindowOptions* options) {
	DWORD style = base_style;
	if (options->borders) style |= WS_BORDER;
	if (options->minimizable) style |= WS_MINIMIZEBOX;
	return style;
}

} // namespace

extern "C" {

bw_WindowImpl bw_WindowImpl_new(bw_Window* window, bw_CStrSlice title, int width, int height, const bw_WindowOptions* options) {
	DWORD style = style_for(options);
	// Sizes are logical pixels (-1: absent). With either absent the window starts at the system's
	// default size (the system ignores the height then), and the given one is applied afterwards:
	// the system cannot default only one of them.
	UINT dpi = bw_WindowWin32_scaleDpi(nullptr);
	bool default_size = width == -1 || height == -1;
	int create_width = default_size ? CW_USEDEFAULT : bw_WindowWin32_toPhysical(width, dpi);
	int create_height = default_size ? -1 : bw_WindowWin32_toPhysical(height, dpi);

	wchar_t* title_w = bw_win32_copyAsNewWstr(title);
	HINSTANCE hinstance = GetModuleHandleW(nullptr);
	// The record is the creation parameter: the procedure attaches it from WM_NCCREATE on, so
	// messages sent while the window is being created already find it.
	HWND handle = CreateWindowExW(WS_EX_LAYERED, L"bw-window", title_w, style, CW_USEDEFAULT, 0, create_width, create_height, nullptr,
	                              nullptr, hinstance, window);
	std::free(title_w);
	if (handle == nullptr) fail_with_last_error();

	SetLastError(0);
	SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
	if (GetLastError() != 0) fail_with_last_error();

	if (default_size && (width != -1 || height != -1)) {
		RECT outer = window_rect(handle);
		int physical_width = width != -1 ? bw_WindowWin32_toPhysical(width, dpi) : outer.right - outer.left;
		int physical_height = height != -1 ? bw_WindowWin32_toPhysical(height, dpi) : outer.bottom - outer.top;
		set_window_pos(handle, 0, 0, physical_width, physical_height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
	}

	if (!SetLayeredWindowAttributes(handle, 0, 255, LWA_ALPHA)) fail_with_last_error();
	return bw_WindowImpl{handle, 0, style, 255};
}

void bw_WindowImpl_show(bw_WindowImpl* impl) { ShowWindow(impl->handle, SW_SHOW); }

void bw_WindowImpl_hide(bw_WindowImpl* impl) { ShowWindow(impl->handle, SW_HIDE); }

void bw_WindowImpl_close(bw_WindowImpl* impl) { impl->closed = 0; }

void bw_WindowImpl_free(bw_WindowImpl* impl) {
	// The system window outlives the record (it stays, hidden, until the process ends): detach the
	// record so that later messages (another WM_CLOSE, WM_SIZE, WM_DESTROY at exit) cannot reach it.
	SetWindowLongPtrW(impl->handle, GWLP_USERDATA, 0);
}

HWND bw_WindowWin32_getHandle(const bw_Window* window) { return window->impl_.handle; }

uint32_t bw_WindowWin32_getStyle(const bw_Window* window) { return window->impl_.style; }

bw_Dims2D bw_Window_getContentDimensions(const bw_Window* window) {
	HWND handle = window->impl_.handle;
	RECT rect{};
	GetClientRect(handle, &rect);
	return logical_dims_of(rect, bw_WindowWin32_scaleDpi(handle));
}

bw_Dims2D bw_Window_getWindowDimensions(const bw_Window* window) {
	HWND handle = window->impl_.handle;
	return logical_dims_of(window_rect(handle), bw_WindowWin32_scaleDpi(handle));
}

bw_Pos2D bw_Window_getPosition(const bw_Window* window) {
	HWND handle = window->impl_.handle;
	RECT rect = window_rect(handle);
	UINT dpi = bw_WindowWin32_scaleDpi(handle);
	return bw_Pos2D{static_cast<uint16_t>(bw_WindowWin32_toLogical(rect.left, dpi)), static_cast<uint16_t>(bw_WindowWin32_toLogical(rect.top, dpi))};
}

uint8_t bw_Window_getOpacity(const bw_Window* window) { return window->impl_.opacity; }

size_t bw_Window_getTitle(const bw_Window* window, char** title) {
	HWND handle = window->impl_.handle;
	SetLastError(0);
	int units = GetWindowTextLengthW(handle);
	if (GetLastError() != 0) fail_with_last_error();
	if (units == 0) return 0;

	auto* buffer = static_cast<wchar_t*>(std::calloc(static_cast<size_t>(units) + 1, sizeof(wchar_t)));
	BW_ASSERT(buffer != nullptr, "out of memory");
	if (GetWindowTextW(handle, buffer, units + 1) == 0) {
		std::free(buffer);
		fail_with_last_error();
	}
	size_t length = bw_win32_copyAsNewUtf8Str(buffer, title);
	std::free(buffer);
	return length;
}

void bw_Window_setTitle(bw_Window* window, bw_CStrSlice title) {
	wchar_t* title_w = bw_win32_copyAsNewWstr(title);
	SetWindowTextW(window->impl_.handle, title_w);
	std::free(title_w);
}

void bw_Window_setContentDimensions(bw_Window* window, bw_Dims2D dimensions) {
	HWND handle = window->impl_.handle;
	UINT dpi = bw_WindowWin32_scaleDpi(handle);
	RECT rect{0, 0, bw_WindowWin32_toPhysical(dimensions.width, dpi), bw_WindowWin32_toPhysical(dimensions.height, dpi)};
	// The frame is as wide as the system draws it on the window's display.
	if (!AdjustWindowRectExForDpi(&rect, window->impl_.style, FALSE, 0, GetDpiForWindow(handle))) fail_with_last_error();
	set_window_pos(handle, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE);
}

void bw_Window_setWindowDimensions(bw_Window* window, bw_Dims2D dimensions) {
	HWND handle = window->impl_.handle;
	UINT dpi = bw_WindowWin32_scaleDpi(handle);
	set_window_pos(handle, 0, 0, bw_WindowWin32_toPhysical(dimensions.width, dpi), bw_WindowWin32_toPhysical(dimensions.height, dpi), SWP_NOMOVE);
}

void bw_Window_setPosition(bw_Window* window, bw_Pos2D position) {
	HWND handle = window->impl_.handle;
	UINT dpi = bw_WindowWin32_scaleDpi(handle);
	set_window_pos(handle, bw_WindowWin32_toPhysical(position.x, dpi), bw_WindowWin32_toPhysical(position.y, dpi), 0, 0, SWP_NOSIZE);
}

void bw_Window_setOpacity(bw_Window* window, uint8_t opacity) {
	if (!SetLayeredWindowAttributes(window->impl_.handle, 0, opacity, LWA_ALPHA)) fail_with_last_error();
	window->impl_.opacity = opacity;
}

void bw_WindowWin32_calculatePositionCentered(int width, int height, int* x, int* y) {
	RECT desktop{};
	GetClientRect(GetDesktopWindow(), &desktop);
	*x = (desktop.right - desktop.left - width) / 2;
	*y = (desktop.bottom - desktop.top - height) / 2;
}

LRESULT CALLBACK bw_Window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
	switch (msg) {
	case WM_NCCREATE: {
		auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
		SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
		return DefWindowProcW(hwnd, msg, wp, lp);
	}
	case WM_SIZE: {
		// No record: the window's record was freed, and nothing is left to resize.
		bw_Window* window = record_of(hwnd);
		if (window == nullptr) return 0;
		RECT rect{};
		GetClientRect(hwnd, &rect);
		bw_WindowWin32_onResize(window, rect.left, rect.right, rect.top, rect.bottom);
		return 0;
	}
	case WM_CLOSE: {
		// Releasing the user data may free the record: only the window handle is used afterwards.
		bw_Window* window = record_of(hwnd);
		if (window != nullptr && bw_Window_closeFiltered(window)) return 0;
		if (window != nullptr && window->user_data != nullptr) bw_Window_freeUserData(window);
		ShowWindow(hwnd, SW_HIDE);
		return 0;
	}
	case WM_DPICHANGED: {
		// Moved to a display of another scale: take the size and place the system suggests.
		const RECT* suggested = reinterpret_cast<const RECT*>(lp);
		SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left, suggested->bottom - suggested->top,
		             SWP_NOZORDER | SWP_NOACTIVATE);
		return 0;
	}
	case WM_DESTROY: {
		bw_Window* window = record_of(hwnd);
		if (window != nullptr && window->user_data != nullptr) bw_Window_freeUserData(window);
		return 0;
	}
	default:
		return DefWindowProcW(hwnd, msg, wp, lp);
	}
}

} // extern "C"
