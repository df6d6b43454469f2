# JsValue tests.
