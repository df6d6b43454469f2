// What only the Win32 windows have: style bits, 16-bit positions, and messages that arrive while a
// window is being created or after its record was freed.
#include "core/window.hpp"
#include "support/test_application.hpp"
#include "support/test_engine.hpp"

#include <bw/window_win32.h>
#include <gtest/gtest.h>

namespace bw {
namespace {

using testing::TestApplication;

DWORD style_of(bw_Window* window) { return static_cast<DWORD>(GetWindowLongW(bw_WindowWin32_getHandle(window), GWL_STYLE)); }

TEST(Win32Window, StyleFollowsBordersAndMinimizableButNotResizable) {
	TestApplication app;
	struct Case {
		bw_WindowOptions options;
		DWORD style;
	};
	const Case cases[] = {
	    {{1, 1, 1}, 0x00CF0000}, {{1, 0, 1}, 0x00CD0000}, {{0, 1, 1}, 0x004F0000}, {{0, 0, 1}, 0x004D0000}, {{1, 1, 0}, 0x00CF0000},
	};
	for (const Case& each : cases) {
		bw_Window* window = bw_Window_new(app.get(), nullptr, bw_CStrSlice{1, "s"}, 300, 200, &each.options);
		EXPECT_EQ(bw_WindowWin32_getStyle(window), each.style);
		// The system adds a caption to every overlapped window, whatever it was given.
		EXPECT_EQ(style_of(window) & each.style, each.style);
		EXPECT_EQ((style_of(window) & WS_MINIMIZEBOX) != 0, each.options.minimizable != 0);
		EXPECT_EQ(style_of(window) & WS_VISIBLE, 0u);
		EXPECT_TRUE(GetWindowLongW(bw_WindowWin32_getHandle(window), GWL_EXSTYLE) & WS_EX_LAYERED);
		bw_Window_free(window);
	}
}

TEST(Win32Window, NegativeCoordinatesReadBackAsTheirLow16Bits) {
	TestApplication app;
	bw_WindowOptions options{1, 1, 1};
	bw_Window* window = bw_Window_new(app.get(), nullptr, bw_CStrSlice{1, "p"}, 300, 200, &options);
	SetWindowPos(bw_WindowWin32_getHandle(window), nullptr, -8, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
	EXPECT_EQ(bw_Window_getPosition(window).x, 65528);
	EXPECT_EQ(bw_Window_getPosition(window).y, 30);
	bw_Window_free(window);
}

TEST(Win32Window, MessagesDuringCreationAndAfterFreeDoNotReachARecord) {
	TestApplication app;
	test_engine::reset();
	bw_WindowOptions options{1, 1, 1};
	bw_Window* window = bw_Window_new(app.get(), nullptr, bw_CStrSlice{1, "m"}, 300, 200, &options);
	// Attached from WM_NCCREATE on, so a WM_SIZE sent inside CreateWindowExW already finds it.
	EXPECT_EQ(reinterpret_cast<bw_Window*>(GetWindowLongPtrW(bw_WindowWin32_getHandle(window), GWLP_USERDATA)), window);
	HWND handle = bw_WindowWin32_getHandle(window);
	// A setter's resize reaches the resize hook before it returns.
	int before = test_engine::log().resizes_without_browser;
	bw_Window_setWindowDimensions(window, {400, 300});
	EXPECT_GT(test_engine::log().resizes_without_browser, before);

	ShowWindow(handle, SW_SHOW);
	bw_Window_free(window);
	int resizes = test_engine::log().resizes_without_browser;
	SendMessageW(handle, WM_SIZE, 0, 0);
	SendMessageW(handle, WM_CLOSE, 0, 0);
	EXPECT_FALSE(IsWindowVisible(handle));
	SendMessageW(handle, WM_DESTROY, 0, 0);
	EXPECT_EQ(test_engine::log().resizes_without_browser, resizes);
}

TEST(Win32Window, CentringUsesTheDesktopAndSignedArithmetic) {
	RECT desktop{};
	GetClientRect(GetDesktopWindow(), &desktop);
	int x = 0, y = 0;
	bw_WindowWin32_calculatePositionCentered(100, 50, &x, &y);
	EXPECT_EQ(x, (desktop.right - 100) / 2);
	EXPECT_EQ(y, (desktop.bottom - 50) / 2);
	bw_WindowWin32_calculatePositionCentered(desktop.right + 11, desktop.bottom + 11, &x, &y);
	EXPECT_EQ(x, -5);
	EXPECT_EQ(y, -5);
}

} // namespace
} // namespace bw
