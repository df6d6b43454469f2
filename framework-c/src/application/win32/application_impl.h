// Win32 part of the application record: the GUI thread, its window class and its message loop.
#pragma once

#include <windows.h>

struct bw_ApplicationImpl {
	DWORD thread_id;
	HINSTANCE hinstance;
	WNDCLASSEXW wc;
	SRWLOCK is_running_mtx;
};
