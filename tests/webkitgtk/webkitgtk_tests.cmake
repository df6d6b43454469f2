# The WebKitGTK binding, driven with the real engine under the test display.
bw_add_test(webkitgtk_engine_tests OWN_DISPLAY ENGINE bw_framework_engine webkitgtk/webkitgtk_engine_tests.cpp webkitgtk/page_server.cpp support/user_actions.cpp
            support/user_actions_gtk.cpp)
target_link_libraries(webkitgtk_engine_tests PRIVATE bw_x_display)
target_compile_definitions(webkitgtk_engine_tests PRIVATE BW_PAGE_SERVER_PROGRAM="$<TARGET_FILE:tarnwickd>")
add_dependencies(webkitgtk_engine_tests tarnwickd)

# The page capabilities, with a site served from the test and a user's input through XTest.
pkg_check_modules(BW_XTEST REQUIRED IMPORTED_TARGET x11 xtst)
bw_add_test(webkitgtk_capabilities_tests OWN_DISPLAY ENGINE bw_framework_engine webkitgtk/page_capabilities_tests.cpp webkitgtk/test_site.cpp
            webkitgtk/x_user.cpp support/user_actions.cpp support/user_actions_gtk.cpp)
target_link_libraries(webkitgtk_capabilities_tests PRIVATE bw_x_display PkgConfig::BW_XTEST)
