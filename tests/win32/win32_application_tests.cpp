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

} // namespace
} // namespace bw
