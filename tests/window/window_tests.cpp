// Native windows through the lower layer and WindowImpl, on the real window system.
#include "core/window.hpp"
#include "support/test_application.hpp"
#include "support/test_engine.hpp"
#include "support/user_actions.hpp"

#include <gtest/gtest.h>

namespace bw {
namespace {

using namespace std::chrono_literals;
using testing::eventually;
using testing::TestApplication;

constexpr bw_WindowOptions default_options{1, 1, 1};

WindowImpl new_window(ApplicationHandle app, std::string_view title = "window", std::optional<uint32_t> width = std::nullopt,
                      std::optional<uint32_t> height = std::nullopt) {
	return WindowImpl::new_(app.impl(), WindowImpl(), title, width, height, default_options);
}

TEST(Window, IsHiddenAndOpaqueUntilShownAndKeepsTheOpacitySet) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = new_window(app);
		EXPECT_FALSE(bw_Window_isVisible(window.inner()));
		EXPECT_FALSE(testing::system_visible(window.inner()));
		EXPECT_EQ(window.opacity(), 255);

		window.show();
		EXPECT_TRUE(bw_Window_isVisible(window.inner()));
		EXPECT_TRUE(testing::system_visible(window.inner()));
		// Fully transparent, yet shown.
		window.set_opacity(0);
		EXPECT_EQ(window.opacity(), 0);
		EXPECT_TRUE(testing::system_visible(window.inner()));
		window.hide();
		EXPECT_FALSE(bw_Window_isVisible(window.inner()));
		EXPECT_FALSE(testing::system_visible(window.inner()));
		window.show();
		EXPECT_TRUE(bw_Window_isVisible(window.inner()));
		window.free();
		co_return;
	}),
	          0);
}

TEST(Window, SizesAreOuterAtCreationAndContentWhenSet) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl sized = new_window(app, "sized", 1024, 768);
		sized.show();
		EXPECT_TRUE(co_await eventually(app, [&] {
			bw_Dims2D outer = sized.window_dimensions();
			return outer.width == 1024 && outer.height == 768;
		}));
		bw_Dims2D content = sized.content_dimensions();
		EXPECT_LE(content.width, 1024);
		EXPECT_LE(content.height, 768);
		EXPECT_GT(content.width, 0);

		sized.set_content_dimensions({800, 600});
		EXPECT_TRUE(co_await eventually(app, [&] {
			bw_Dims2D now = sized.content_dimensions();
			return now.width == 800 && now.height == 600;
		}));
		sized.set_window_dimensions({640, 480});
		EXPECT_TRUE(co_await eventually(app, [&] {
			bw_Dims2D now = sized.window_dimensions();
			return now.width == 640 && now.height == 480;
		}));
		sized.free();

		// Neither given: the system's default size, never nothing.
		WindowImpl unsized = new_window(app, "unsized");
		unsized.show();
		EXPECT_TRUE(co_await eventually(app, [&] { return unsized.window_dimensions().width > 0 && unsized.window_dimensions().height > 0; }));
		unsized.free();
	}),
	          0);
}

TEST(Window, PositionRoundTrips) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = new_window(app, "moved", 300, 200);
		window.show();
		window.set_position({120, 90});
		EXPECT_TRUE(co_await eventually(app, [&] { return window.position().x == 120 && window.position().y == 90; }));
		window.free();
	}),
	          0);
}

TEST(Window, SizesAndPositionReadBackAsSetAtOnceAndStaySo) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = new_window(app, "set", 300, 200);
		window.show();
		EXPECT_TRUE(co_await eventually(app, [&] { return window.window_dimensions().width == 300; }));
		auto content_is = [&](uint16_t width, uint16_t height) {
			bw_Dims2D now = window.content_dimensions();
			return now.width == width && now.height == height;
		};
		auto outer_is = [&](uint16_t width, uint16_t height) {
			bw_Dims2D now = window.window_dimensions();
			return now.width == width && now.height == height;
		};
		auto position_is = [&](uint16_t x, uint16_t y) { return window.position().x == x && window.position().y == y; };

		window.set_content_dimensions({800, 600});
		window.set_position({120, 90});
		EXPECT_TRUE(content_is(800, 600));
		EXPECT_TRUE(position_is(120, 90));
		// Once the window system has applied them, they read the same.
		co_await app.sleep(300ms);
		EXPECT_TRUE(content_is(800, 600));
		EXPECT_TRUE(position_is(120, 90));

		window.set_window_dimensions({640, 480});
		EXPECT_TRUE(outer_is(640, 480));
		co_await app.sleep(300ms);
		EXPECT_TRUE(outer_is(640, 480));
		window.free();
	}),
	          0);
}

TEST(Window, TitlesReadBackAsUtf8CountedInBytes) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		const std::string accented = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x94 \xF0\x9F\x8C\x8D";
		WindowImpl window = new_window(app, accented);
		EXPECT_EQ(window.title(), accented);
		char* text = nullptr;
		EXPECT_EQ(bw_Window_getTitle(window.inner(), &text), accented.size());
		bw_string_freeCstr(text);

		window.set_title("");
		char* untouched = reinterpret_cast<char*>(0x1);
		EXPECT_EQ(bw_Window_getTitle(window.inner(), &untouched), 0u);
		EXPECT_EQ(untouched, reinterpret_cast<char*>(0x1));
		EXPECT_EQ(window.title(), "");
		window.set_title("Tarnwick");
		EXPECT_EQ(window.title(), "Tarnwick");
		window.free();
		co_return;
	}),
	          0);
}

TEST(Window, UserCloseOfAPlainWindowOnlyHidesIt) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = new_window(app, "plain", 300, 200);
		window.show();
		testing::user_close(window.inner());
		EXPECT_TRUE(co_await eventually(app, [&] { return !testing::system_visible(window.inner()); }));
		// The layer's own flag is the layer's: the system hid the window, not bw_Window_hide.
		EXPECT_TRUE(bw_Window_isVisible(window.inner()));
		window.show();
		EXPECT_TRUE(testing::system_visible(window.inner()));
		window.free();
	}),
	          0);
}

TEST(Window, FreeingTheLastWindowEndsTheApplicationOnlyOnceItIsDone) {
	TestApplication app;
	bw_Window* window = nullptr;
	int code = app.run([&](bw_Application* raw) {
		ApplicationHandle handle{ApplicationImpl(raw)};
		window = new_window(handle).inner();
		// Done, yet a window is open: the loop goes on.
		bw_Application_markAsDone(raw);
		handle.dispatch_delayed(
		    [window] {
			    EXPECT_TRUE(bw_Application_isRunning(bw_Window_getApp(window)));
			    bw_Window_free(window);
		    },
		    200ms);
	});
	EXPECT_EQ(code, 0);
}

} // namespace
} // namespace bw
