# x_window_tool: finds, measures and closes windows on the X display for the test scripts.
if(WIN32 OR BW_TSAN_ONLY)
  return()
endif()
add_executable(x_window_tool ${CMAKE_CURRENT_LIST_DIR}/x_window_tool.cpp)
target_link_libraries(x_window_tool PRIVATE bw_x_display)
