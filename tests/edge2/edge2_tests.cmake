# The WebView2 binding over the stand-in engine (WebView2Loader.dll beside the test programs).
bw_add_test(edge2_tests ENGINE bw_framework_engine
  edge2/edge2_support.cpp
  edge2/creation_tests.cpp
  edge2/creation_failure_tests.cpp
  edge2/page_capabilities_tests.cpp
  edge2/page_desktop_tests.cpp
  edge2/scripts_and_messages_tests.cpp
  edge2/view_tests.cpp
  support/user_actions.cpp
  support/user_actions_win32.cpp
)
target_link_libraries(edge2_tests PRIVATE webview2_standin)

# Without the loader: copies of this program run from folders that lack it, also against the
# stand-in built as an installed runtime.
add_library(edge2_loader_without_export SHARED edge2/loader_without_export.cpp)
set_target_properties(edge2_loader_without_export PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
bw_add_test(edge2_loader_tests ENGINE bw_framework_engine
  edge2/program_copy.cpp
  edge2/loader_tests.cpp
  edge2/installed_runtime_tests.cpp
  edge2/runtime_locator_tests.cpp
)
add_dependencies(edge2_loader_tests edge2_loader_without_export webview2_standin_runtime)
