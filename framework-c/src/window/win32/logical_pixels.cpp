#include "logical_pixels.h"

#include <atomic>

namespace {

std::atomic<UINT> overridden_dpi{0};

} // namespace

extern "C" {

UINT bw_WindowWin32_scaleDpi(HWND window) {
	if (UINT dpi = overridden_dpi.load(std::memory_order_relaxed); dpi != 0) return dpi;
	UINT dpi = window != nullptr ? GetDpiForWindow(window) : GetDpiForSystem();
	return dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

// Rounded to the nearest pixel: at scales of 100 % and more a logical size survives the round trip.
int bw_WindowWin32_toPhysical(int logical, UINT dpi) { return MulDiv(logical, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI); }

int bw_WindowWin32_toLogical(int physical, UINT dpi) { return MulDiv(physical, USER_DEFAULT_SCREEN_DPI, static_cast<int>(dpi)); }

void bw_WindowWin32_overrideScaleDpi(UINT dpi) { overridden_dpi.store(dpi, std::memory_order_relaxed); }

} // extern "C"
