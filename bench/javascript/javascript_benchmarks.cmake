# JsValue against nlohmann::json on the same 1 MiB JSON text.
add_executable(javascript_benchmark ${CMAKE_CURRENT_LIST_DIR}/js_value_benchmark.cpp)
target_link_libraries(javascript_benchmark PRIVATE benchmark::benchmark bw_framework)
