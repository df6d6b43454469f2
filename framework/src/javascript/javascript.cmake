# JsValue sources (filled in by the JavaScript value model work).
