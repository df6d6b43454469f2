// The window procedure of the "bw-window" class.
#pragma once

#include <windows.h>

extern "C" LRESULT CALLBACK bw_Window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
