# JsValue: the JavaScript value model, its JSON reader and its decimal numbers.
target_sources(bw_framework PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/big_float.cpp
  ${CMAKE_CURRENT_LIST_DIR}/escape.cpp
  ${CMAKE_CURRENT_LIST_DIR}/js_value.cpp
  ${CMAKE_CURRENT_LIST_DIR}/json_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_writer.cpp
)
