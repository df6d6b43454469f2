# JsValue and BigFloat tests.
bw_add_test(javascript_tests
  javascript/big_float_tests.cpp
  javascript/js_value_tests.cpp
)
