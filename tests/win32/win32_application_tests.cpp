// The Win32 part of the application: its window class and its thread message queue.
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

namespace bw {
namespace {

TEST(Win32Application, RegistersTheWindowClassUntilTornDown) {
	WNDCLASSEXW wc{};
	wc.cbSize = sizeof wc;
	{
		testing::TestApplication app;
		ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"bw-window", &wc));
		EXPECT_EQ(wc.style, 0u);
		EXPECT_EQ(wc.hCursor, nullptr);
	}
	EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), L"bw-window", &wc));
}

TEST(Win32Application, ExitFromAnotherThreadBeforeTheLoopReadsIsKept) {
	// The queue exists from initialisation on, so a request posted before run is not refused.
	testing::TestApplication app;
	std::thread([&] { EXPECT_TRUE(bw_Application_exitAsync(app.get(), 4)); }).join();
	EXPECT_EQ(app.run([](bw_Application*) {}), 4);
}

TEST(Win32Application, CallsDispatchedWhileAMessageBoxIsOpenRunInsideItsLoop) {
	// A message box runs a modal loop of its own: dispatched calls must still run there, not wait
	// for (or be lost to) the application's loop.
	testing::TestApplication app;
	bool ran_inside_the_box = false;
	bool box_open = false;
	int code = app.run([&](bw_Application* raw) {
		std::thread poster([&] {
			HWND box = nullptr;
			for (int i = 0; i < 500 && box == nullptr; i++) {
				box = FindWindowW(L"#32770", L"bw-dispatch-inside-box");
				if (box == nullptr) Sleep(10);
			}
			bw_Application_dispatch(
			    raw, [](bw_Application*, void* data) { *static_cast<bool*>(data) = true; }, &ran_inside_the_box);
			for (int i = 0; i < 500 && !ran_inside_the_box; i++) Sleep(10);
			PostMessageW(box, WM_COMMAND, IDOK, 0);
		});
		box_open = true;
		MessageBoxW(nullptr, L"dispatch", L"bw-dispatch-inside-box", MB_OK);
		box_open = false;
		poster.join();
		EXPECT_TRUE(ran_inside_the_box);
		bw_Application_exit(raw, 0);
	});
	EXPECT_EQ(code, 0);
	EXPECT_FALSE(box_open);
}

} // namespace
} // namespace bw
