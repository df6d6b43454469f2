# Native windows and browser windows, over the test engine.
if(WIN32)
  set(platform_window_tests window/window_win32_tests.cpp)
else()
  set(platform_window_tests window/window_gtk_tests.cpp)
endif()
bw_add_test(window_tests OWN_DISPLAY window/window_tests.cpp ${platform_window_tests})
if(WIN32)
  # The Win32 window's scale seam, which the tests set to see a scaled display under Wine.
  target_include_directories(window_tests PRIVATE ${PROJECT_SOURCE_DIR}/framework-c/src/window/win32)
endif()
bw_add_test(browser_window_tests browser/browser_window_tests.cpp)
