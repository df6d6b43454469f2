#include "window_proc.h"

// Framework windows do not handle any message of their own yet.
extern "C" LRESULT CALLBACK bw_Window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd, msg, wp, lp); }
