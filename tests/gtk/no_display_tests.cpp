// Without a display the application cannot start, and says so instead of crashing later.
#include "application/application.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace bw {
namespace {

TEST(GtkApplication, InitializeWithoutADisplayFailsWithAnError) {
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_EXIT(
	    {
		    unsetenv("DISPLAY");
		    unsetenv("WAYLAND_DISPLAY");
		    auto app = Application::initialize();
		    if (app.ok()) std::exit(0);
		    std::fprintf(stderr, "%s\n", app.error().to_string().c_str());
		    std::exit(3);
	    },
	    ::testing::ExitedWithCode(3), "\\[1\\] unable to initialize GTK: cannot open the display");
}

} // namespace
} // namespace bw
