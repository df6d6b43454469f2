# The launcher's platform parts that the tests below build in.
if(WIN32)
  set(BW_LAUNCHER_PLATFORM win32)
else()
  set(BW_LAUNCHER_PLATFORM linux)
endif()

# The launcher's platform-neutral rules, and how the file system compares names.
bw_add_test(launcher_rules_tests launcher/launcher_rules_tests.cpp ${PROJECT_SOURCE_DIR}/desktop/src/main/${BW_LAUNCHER_PLATFORM}/user_folders.cpp)
target_link_libraries(launcher_rules_tests PRIVATE tarnwick_launcher_rules)
add_dependencies(launcher_rules_tests tarnwick_translations)
target_compile_definitions(launcher_rules_tests PRIVATE TARNWICK_LOCALE_DIR="$<TARGET_FILE_DIR:tarnwick_desktop>/locale")

# The command line, the channel's words and the settings file.
bw_add_test(desktop_rules_tests launcher/desktop_rules_tests.cpp)
target_link_libraries(desktop_rules_tests PRIVATE tarnwick_launcher_rules)

# The channel between two launches of one user.
bw_add_test(single_instance_tests launcher/single_instance_tests.cpp ${PROJECT_SOURCE_DIR}/desktop/src/main/${BW_LAUNCHER_PLATFORM}/single_instance.cpp)
if(WIN32)
  # The instance's names are the Wine session's, which the launcher's cases share.
  set_tests_properties(single_instance_tests PROPERTIES RESOURCE_LOCK tarnwick_instance)
endif()
target_link_libraries(single_instance_tests PRIVATE tarnwick_launcher_rules)

# The launcher end to end: the real program under the test display. It runs and counts processes
# named tarnwickd and uses the daemon's fixed port: on Linux each case does so in its own sandbox,
# under Wine the cases share the wineserver's process list with the daemon tests.
if(WIN32)
  add_executable(launcher_win32_e2e_tests launcher/launcher_win32_e2e_tests.cpp)
  target_link_libraries(launcher_win32_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main shell32)
  target_compile_definitions(launcher_win32_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>"
                             TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>" STANDIN_LOADER="$<TARGET_FILE:webview2_standin>"
                             STANDIN_RUNTIME="$<TARGET_FILE:webview2_standin_runtime>")
  add_dependencies(launcher_win32_e2e_tests tarnwick_desktop tarnwickd webview2_standin webview2_standin_runtime)
  add_test(NAME launcher_win32_e2e_tests COMMAND launcher_win32_e2e_tests)
  set_tests_properties(launcher_win32_e2e_tests PROPERTIES RESOURCE_LOCK "tarnwickd_process;tarnwick_port;tarnwick_instance")
else()
  add_executable(talking_page_server launcher/talking_page_server.cpp)
  add_executable(launcher_e2e_tests launcher/launcher_e2e_tests.cpp)
  target_link_libraries(launcher_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes)
  target_compile_definitions(launcher_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>"
                             TALKING_PAGE_SERVER="$<TARGET_FILE:talking_page_server>")
  add_dependencies(launcher_e2e_tests tarnwick_desktop tarnwickd talking_page_server)
  # The cases look for windows titled "Tarnwick" and type keys: each on a display of its own.
  gtest_discover_tests(launcher_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})

  # The launcher's lifecycle: restarts, a second launch, the remembered window.
  add_executable(launcher_session_e2e_tests launcher/launcher_session_e2e_tests.cpp)
  pkg_check_modules(XTEST REQUIRED IMPORTED_TARGET x11 xtst)
  target_link_libraries(launcher_session_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes PkgConfig::XTEST)
  target_compile_definitions(launcher_session_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_session_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_session_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})

  # Who the daemon is: daemons as they really run, other users' listeners, a hung daemon.
  add_executable(launcher_identity_e2e_tests launcher/launcher_identity_e2e_tests.cpp)
  target_link_libraries(launcher_identity_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes PkgConfig::XTEST)
  target_compile_definitions(launcher_identity_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_identity_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_identity_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})

  # What the window does with what its pages do: links, frames, downloads, a crashed page, keys.
  add_executable(launcher_page_e2e_tests launcher/launcher_page_e2e_tests.cpp)
  target_link_libraries(launcher_page_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes PkgConfig::XTEST)
  target_compile_definitions(launcher_page_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_page_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_page_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})

  # The pages on the desktop: permissions, notifications on a session bus of the test's own, and
  # screen readers over the accessibility bus.
  add_executable(launcher_desktop_e2e_tests launcher/launcher_desktop_e2e_tests.cpp)
  pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
  pkg_check_modules(ATSPI REQUIRED IMPORTED_TARGET atspi-2)
  target_link_libraries(launcher_desktop_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes PkgConfig::XTEST
                        PkgConfig::GIO PkgConfig::ATSPI)
  target_compile_definitions(launcher_desktop_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_desktop_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_desktop_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})
endif()

# The launcher as a Wayland client under a headless Weston that the test starts itself.
if(NOT WIN32)
  # What wakes the daemon's watch, and how it asks.
  bw_add_test(listener_closings_tests launcher/listener_closings_tests.cpp ${PROJECT_SOURCE_DIR}/desktop/src/main/linux/listener_closings.cpp
              ${PROJECT_SOURCE_DIR}/desktop/src/main/linux/port_owner.cpp ${PROJECT_SOURCE_DIR}/desktop/src/main/linux/http_answers.cpp
              ${PROJECT_SOURCE_DIR}/desktop/src/main/address_probe.cpp)
  target_include_directories(listener_closings_tests PRIVATE ${PROJECT_SOURCE_DIR}/desktop/src/main)
  target_link_libraries(listener_closings_tests PRIVATE tarnwick_daemon)

  add_executable(launcher_wayland_e2e_tests launcher/launcher_wayland_e2e_tests.cpp)
  target_link_libraries(launcher_wayland_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_test_processes bw_x_display PkgConfig::XTEST)
  target_compile_definitions(launcher_wayland_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_wayland_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_wayland_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()

# The launcher in the background: its status icon on a session bus of the test's own, closing and
# keeping running, the command line and start at login.
if(NOT WIN32)
  add_executable(launcher_tray_e2e_tests launcher/launcher_tray_e2e_tests.cpp launcher/status_notifier_host.cpp)
  target_link_libraries(launcher_tray_e2e_tests PRIVATE GTest::gtest bw_sandboxed_gtest_main bw_x_display bw_test_processes PkgConfig::XTEST PkgConfig::GIO)
  target_compile_definitions(launcher_tray_e2e_tests PRIVATE TARNWICK_LAUNCHER="$<TARGET_FILE:tarnwick_desktop>" TARNWICK_DAEMON="$<TARGET_FILE:tarnwickd>")
  add_dependencies(launcher_tray_e2e_tests tarnwick_desktop tarnwickd)
  gtest_discover_tests(launcher_tray_e2e_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 180 ${BW_OWN_DISPLAY})
endif()
