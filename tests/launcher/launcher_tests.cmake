# The launcher end to end: the real program under the test display. It runs and counts processes
# named tarnwickd and uses the daemon's fixed port, so it shares the daemon tests' lock.
if(WIN32)
  add_executable(launcher_win32_e2e_tests launcher/launcher_win32_e2e_tests.cpp)
  target_link_libraries(launcher_win32_e2e_tests PRIVATE GTest::gtest GTest::gtest_main)
  target_compile_definitions(launcher_win32_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>"
                             TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>" STANDIN_LOADER="$<TARGET_FILE:webview2_standin>"
                             STANDIN_RUNTIME="$<TARGET_FILE:webview2_standin_runtime>")
  add_dependencies(launcher_win32_e2e_tests tarnwick_desktop tarnwickd webview2_standin webview2_standin_runtime)
  add_test(NAME launcher_win32_e2e_tests COMMAND launcher_win32_e2e_tests)
  set_tests_properties(launcher_win32_e2e_tests PROPERTIES RESOURCE_LOCK "tarnwickd_process;tarnwick_port")
else()
  add_executable(launcher_e2e_tests launcher/launcher_e2e_tests.cpp launcher/x_display.cpp)
  pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
  target_link_libraries(launcher_e2e_tests PRIVATE GTest::gtest GTest::gtest_main PkgConfig::X11)
  target_compile_definitions(launcher_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 RESOURCE_LOCK "tarnwickd_process;tarnwick_port")
endif()
