# The WebKitGTK binding of browser windows (Linux).
add_library(bw_framework_engine STATIC
  ${CMAKE_CURRENT_LIST_DIR}/browser_window_webkitgtk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/browser_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/downloads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/home_origins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/navigation_policy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/permissions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/notifications.cpp
  ${CMAKE_CURRENT_LIST_DIR}/languages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktop_theme.cpp
  ${CMAKE_CURRENT_LIST_DIR}/find_bar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/creation_failure.cpp
)
target_link_libraries(bw_framework_engine PUBLIC bw_framework PkgConfig::GTK3 PkgConfig::WEBKIT)
