# Native windows and browser windows, over the test engine.
if(WIN32)
  set(platform_window_tests window/window_win32_tests.cpp)
else()
  set(platform_window_tests window/window_gtk_tests.cpp)
endif()
bw_add_test(window_tests window/window_tests.cpp ${platform_window_tests})
bw_add_test(browser_window_tests browser/browser_window_tests.cpp)
