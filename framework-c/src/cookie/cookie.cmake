# Cookies: the platform-neutral front and the engine's part.
target_sources(bw_framework_c PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cookie.cpp)
if(BW_PLATFORM STREQUAL "win32")
  target_sources(bw_framework_c PRIVATE ${CMAKE_CURRENT_LIST_DIR}/webview2/cookie_webview2.cpp)
else()
  target_sources(bw_framework_c PRIVATE ${CMAKE_CURRENT_LIST_DIR}/webkitgtk/cookie_webkitgtk.cpp)
endif()
