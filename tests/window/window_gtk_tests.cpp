// What only the GTK windows have: decorations for borders, 16-bit positions, and the close request.
#include "core/window.hpp"
#include "support/test_application.hpp"
#include "support/user_actions.hpp"

#include <bw/window_gtk.h>
#include <gtest/gtest.h>

namespace bw {
namespace {

using testing::eventually;
using testing::TestApplication;

TEST(GtkWindow, BordersDecorateTheWindowAndResizableChangesNothing) {
	TestApplication app;
	struct Case {
		bw_WindowOptions options;
		bool decorated;
	};
	const Case cases[] = {{{1, 1, 1}, true}, {{0, 1, 1}, false}, {{1, 0, 0}, true}, {{0, 0, 0}, false}};
	for (const Case& each : cases) {
		bw_Window* window = bw_Window_new(app.get(), nullptr, bw_CStrSlice{1, "s"}, 300, 200, &each.options);
		GtkWindow* gtk_window = GTK_WINDOW(bw_WindowGtk_getHandle(window));
		EXPECT_EQ(gtk_window_get_decorated(gtk_window) != FALSE, each.decorated);
		EXPECT_TRUE(gtk_window_get_resizable(gtk_window));
		EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(gtk_window)));
		bw_Window_free(window);
	}
}

TEST(GtkWindow, NegativeCoordinatesReadBackAsTheirLow16Bits) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = WindowImpl::new_(app.impl(), WindowImpl(), "p", 300, 200, bw_WindowOptions{1, 1, 1});
		window.show();
		gtk_window_move(GTK_WINDOW(bw_WindowGtk_getHandle(window.inner())), -8, 30);
		EXPECT_TRUE(co_await eventually(app, [&] { return window.position().x == 65528 && window.position().y == 30; }));
		window.free();
	}),
	          0);
}

TEST(GtkWindow, WhatTheWindowSystemDecidesAfterASetIsReadBack) {
	TestApplication app;
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		WindowImpl window = WindowImpl::new_(app.impl(), WindowImpl(), "moved by others", 300, 200, bw_WindowOptions{1, 1, 1});
		window.show();
		window.set_content_dimensions({400, 300});
		window.set_position({50, 60});
		EXPECT_TRUE(co_await eventually(app, [&] { return window.content_dimensions().width == 400 && window.position().x == 50; }));
		co_await app.sleep(std::chrono::milliseconds(300));
		// The X window itself moved and resized, past GTK's window object, as a window manager would.
		gdk_window_move_resize(gtk_widget_get_window(bw_WindowGtk_getHandle(window.inner())), 70, 80, 500, 350);
		EXPECT_TRUE(co_await eventually(app, [&] {
			bw_Dims2D size = window.content_dimensions();
			bw_Pos2D position = window.position();
			return size.width == 500 && size.height == 350 && position.x == 70 && position.y == 80;
		}));
		window.free();
	}),
	          0);
}

} // namespace
} // namespace bw
