// What only the Win32 windows have: style bits, 16-bit positions, logical pixels on scaled displays,
// the system's default for a missing size, and messages that arrive while a window is being created
// or after its record was freed.
#include "core/window.hpp"
#include "logical_pixels.h"
#include "support/test_application.hpp"
#include "support/test_engine.hpp"

#include <bw/window_win32.h>
#include <gtest/gtest.h>

namespace bw {
namespace {

using testing::TestApplication;

DWORD style_of(bw_Window* window) { return static_cast<DWORD>(GetWindowLongW(bw_WindowWin32_getHandle(window), GWL_STYLE)); }

// The window's outer rectangle as the system has it, in the display's pixels.
RECT system_rect(WindowImpl window) {
	RECT rect{};
	GetWindowRect(bw_WindowWin32_getHandle(window.inner()), &rect);
	return rect;
}

// Size of a rectangle as {width, height}, for comparisons.
std::pair<long, long> size_of(const RECT& rect) { return {rect.right - rect.left, rect.bottom - rect.top}; }
std::pair<long, long> size_of(bw_Dims2D dims) { return {dims.width, dims.height}; }

// Windows made meanwhile see a display scaled by dpi / 96.
class ScaledDisplay {
public:
	explicit ScaledDisplay(UINT dpi) { bw_WindowWin32_overrideScaleDpi(dpi); }
	~ScaledDisplay() { bw_WindowWin32_overrideScaleDpi(0); }
	ScaledDisplay(const ScaledDisplay&) = delete;
	ScaledDisplay& operator=(const ScaledDisplay&) = delete;
};

WindowImpl new_window(TestApplication& app, std::optional<uint32_t> width, std::optional<uint32_t> height) {
	return WindowImpl::new_(app.impl(), WindowImpl(), "sized", width, height, bw_WindowOptions{1, 1, 1});
}

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

TEST(Win32Window, SizesAndPositionsAreLogicalPixelsOnAScaledDisplay) {
	TestApplication app;
	ScaledDisplay at150(144);
	WindowImpl window = new_window(app, 400, 300);
	// The system's pixels are 1.5 times as many; what the program reads is what it gave. (Sizes stay
	// well inside the smallest test display: the system keeps windows within the screen.)
	EXPECT_EQ(size_of(system_rect(window)), std::make_pair(600L, 450L));
	EXPECT_EQ(size_of(window.window_dimensions()), std::make_pair(400L, 300L));

	window.set_content_dimensions({400, 300});
	RECT client{};
	GetClientRect(bw_WindowWin32_getHandle(window.inner()), &client);
	EXPECT_EQ(size_of(client), std::make_pair(600L, 450L));
	EXPECT_EQ(size_of(window.content_dimensions()), std::make_pair(400L, 300L));

	window.set_window_dimensions({320, 240});
	EXPECT_EQ(size_of(system_rect(window)), std::make_pair(480L, 360L));
	EXPECT_EQ(size_of(window.window_dimensions()), std::make_pair(320L, 240L));

	window.set_position({100, 60});
	EXPECT_EQ(system_rect(window).left, 150);
	EXPECT_EQ(system_rect(window).top, 90);
	EXPECT_EQ(window.position().x, 100);
	EXPECT_EQ(window.position().y, 60);
	window.free();
}

TEST(Win32Window, LogicalSizesSurviveTheRoundTripAtFractionalScales) {
	TestApplication app;
	for (UINT dpi : {120u, 168u}) {
		ScaledDisplay scaled(dpi);
		WindowImpl window = new_window(app, 301, 201);
		EXPECT_EQ(size_of(window.window_dimensions()), std::make_pair(301L, 201L)) << dpi;
		window.set_content_dimensions({299, 199});
		EXPECT_EQ(size_of(window.content_dimensions()), std::make_pair(299L, 199L)) << dpi;
		window.free();
	}
}

TEST(Win32Window, AMissingWidthOrHeightTakesTheSystemDefault) {
	TestApplication app;
	WindowImpl unsized = new_window(app, std::nullopt, std::nullopt);
	auto [default_width, default_height] = size_of(system_rect(unsized));
	unsized.free();
	ASSERT_GT(default_height, 100);

	WindowImpl width_only = new_window(app, 500, std::nullopt);
	EXPECT_EQ(size_of(width_only.window_dimensions()), std::make_pair(500L, default_height));
	width_only.free();
	WindowImpl height_only = new_window(app, std::nullopt, 400);
	EXPECT_EQ(size_of(height_only.window_dimensions()), std::make_pair(default_width, 400L));
	height_only.free();
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
