// Win32 part of a native window record.
#pragma once

#include <windows.h>

#include <cstdint>

struct bw_WindowImpl {
	HWND handle;
	int32_t closed;
	uint32_t style;
	uint8_t opacity;
};
