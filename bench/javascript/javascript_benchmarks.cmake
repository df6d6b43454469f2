# JsValue benchmarks.
