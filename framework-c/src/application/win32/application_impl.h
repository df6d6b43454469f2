// Win32 part of the application record: the GUI thread, its window class and its message loop.
#pragma once

#include <windows.h>

struct bw_ApplicationImpl {
	DWORD thread_id;
	HINSTANCE hinstance;
	WNDCLASSEXW wc;
	SRWLOCK is_running_mtx;
	// Receives the dispatched calls (WM_APP): a window's messages are dispatched by every message
	// loop of the thread, also the modal loops of message boxes and dialogs, thread messages are not.
	HWND dispatch_window;
};
