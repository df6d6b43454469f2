# The stand-in WebView2 engine for tests, built as WebView2Loader.dll beside the test programs. The
# engine is an object library so that other entry points (another DLL name and export) can reuse it.
add_library(webview2_standin_engine OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/environment.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controller.cpp
  ${CMAKE_CURRENT_LIST_DIR}/webview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_desktop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/event_args.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_result.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_and_args.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control_exports.cpp
)
target_include_directories(webview2_standin_engine PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/framework/src)
target_compile_definitions(webview2_standin_engine PUBLIC STANDIN_BUILDING)
target_link_libraries(webview2_standin_engine PUBLIC ole32 user32 ws2_32)

add_library(webview2_standin SHARED ${CMAKE_CURRENT_LIST_DIR}/loader_exports.cpp)
target_link_libraries(webview2_standin PRIVATE webview2_standin_engine)
# Tests that link it see the controls' header.
target_include_directories(webview2_standin INTERFACE ${CMAKE_CURRENT_LIST_DIR})
set_target_properties(webview2_standin PROPERTIES
  OUTPUT_NAME WebView2Loader
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
)

bw_add_test(standin_selftest ${CMAKE_CURRENT_LIST_DIR}/standin_selftest.cpp)
target_link_libraries(standin_selftest PRIVATE webview2_standin ws2_32)

# The same engine as an installed runtime's EmbeddedBrowserWebView.dll, for programs that run
# without WebView2Loader.dll. Tests copy it from standin_runtime/ into a runtime's folder layout,
# <version folder>\EBWebView\x64\EmbeddedBrowserWebView.dll, and register that folder.
add_library(webview2_standin_runtime SHARED ${CMAKE_CURRENT_LIST_DIR}/runtime_exports.cpp)
target_link_libraries(webview2_standin_runtime PRIVATE webview2_standin_engine)
set_target_properties(webview2_standin_runtime PROPERTIES
  OUTPUT_NAME EmbeddedBrowserWebView
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/standin_runtime
)
