# The WebView2 engine binding (Windows): bw_framework_engine, linked with bw_link_with_engine.
add_library(bw_framework_engine STATIC
  ${CMAKE_CURRENT_LIST_DIR}/background.cpp
  ${CMAKE_CURRENT_LIST_DIR}/creation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/creation_failure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktop_theme.cpp
  ${CMAKE_CURRENT_LIST_DIR}/downloads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/environment_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/first_navigation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/liveness.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/navigation_policy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/notifications.cpp
  ${CMAKE_CURRENT_LIST_DIR}/permissions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_failure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/runtime_locator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_completion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_outcome.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_result_completion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scripts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/user_data_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zoom.cpp
)
target_link_libraries(bw_framework_engine PUBLIC bw_framework ole32 user32 shell32 uuid advapi32)
