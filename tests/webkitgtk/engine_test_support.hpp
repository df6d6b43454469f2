// What the WebKitGTK engine tests share: opening a window, reading evaluations, waiting for the page
// to say something, the pixels of a window and closing it as its user does.
#pragma once

#include "browser/builder/browser_window_builder.hpp"
#include "support/user_actions.hpp"

#include <bw/window_gtk.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace bw::testing {

// Called as its own statement: g++ 12 destroys temporaries of a co_await's full expression twice.
inline BrowserWindowFuture open(ApplicationHandle app, Source source, std::function<void(BrowserWindowBuilder&)> configure = {},
                                uint32_t width = 400, uint32_t height = 300) {
	BrowserWindowBuilder builder(std::move(source));
	builder->size(width, height);
	if (configure) configure(builder);
	return BrowserWindowBuilder::build_async(std::move(builder), app);
}

inline std::string eval_text(const JsEvalResult& result) {
	if (const auto* error = std::get_if<JsEvaluationError>(&result)) return "error: " + error->message;
	return std::get<JsValue>(result).to_debug_string();
}

// Evaluates the script until it yields the expected debug text or the time is up.
inline Task<bool> page_says(ApplicationHandle app, BrowserWindow browser, std::string script, std::string expected,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
	auto until = std::chrono::steady_clock::now() + timeout;
	for (;;) {
		EvalJsFuture evaluation = browser->eval_js(script);
		std::string text = eval_text(co_await std::move(evaluation));
		if (text == expected) co_return true;
		if (std::chrono::steady_clock::now() > until) {
			ADD_FAILURE() << script << " gave " << text << ", not " << expected;
			co_return false;
		}
		SleepFuture nap = app.sleep(std::chrono::milliseconds(50));
		co_await std::move(nap);
	}
}

// The share of the window's pixels, as the X server shows them, that are close to the colour.
inline double share_of_colour(bw_Window* window, guint8 red, guint8 green, guint8 blue) {
	GdkWindow* gdk_window = gtk_widget_get_window(bw_WindowGtk_getHandle(window));
	int width = gdk_window_get_width(gdk_window), height = gdk_window_get_height(gdk_window);
	GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_window, 0, 0, width, height);
	if (shot == nullptr) return 0;
	int channels = gdk_pixbuf_get_n_channels(shot), stride = gdk_pixbuf_get_rowstride(shot);
	const guint8* pixels = gdk_pixbuf_read_pixels(shot);
	long matching = 0;
	for (int y = 0; y < height; y++)
		for (int x = 0; x < width; x++) {
			const guint8* p = pixels + y * stride + x * channels;
			if (std::abs(p[0] - red) < 16 && std::abs(p[1] - green) < 16 && std::abs(p[2] - blue) < 16) matching++;
		}
	g_object_unref(shot);
	return static_cast<double>(matching) / (static_cast<double>(width) * height);
}

inline void close_by_user(std::optional<BrowserWindow>& browser) {
	bw_Window* window = (*browser)->window().impl().inner();
	(*browser)->window().show();
	browser.reset();
	user_close(window);
}

} // namespace bw::testing
