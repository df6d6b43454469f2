# x_window_tool: finds, measures and closes windows on the X display for the test scripts.
if(WIN32 OR BW_TSAN_ONLY)
  return()
endif()
add_executable(x_window_tool ${CMAKE_CURRENT_LIST_DIR}/x_window_tool.cpp ${CMAKE_CURRENT_LIST_DIR}/x_display.cpp)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(x_window_tool PRIVATE PkgConfig::X11)
