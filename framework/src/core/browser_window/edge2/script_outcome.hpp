// What an evaluation's outcome reads as, from either of the engine's two ways of running a script.
// ExecuteScriptWithResult tells a throw from a value and undefined from null. ExecuteScript's JSON
// text is "null" for all three, so on runtimes that only have that one the script runs inside the
// wrapper of execute_script_wrapper.hpp.
#pragma once

#include "core/browser_window/browser_window_impl.hpp"
#include "core/browser_window/edge2/execute_script_wrapper.hpp"

#include <string>
#include <string_view>

namespace bw::edge2 {

// The script inside the wrapper, as a JSON string literal.
std::wstring wrap_for_execute_script(std::wstring_view script);

// The wrapper's JSON text read back. Text of another form (the engine may give "null" for a script
// that did not run) reads as the value it holds.
JsEvalResult unwrap_execute_script_result(std::string_view json);

// A value's JSON text from ExecuteScriptWithResult, where a script without a value gives undefined.
JsValue value_of_result_json(std::string_view json);

// The error for a script that threw: "name: message", either alone when the other is empty.
// Without both (something not an Error was thrown) the details, when there are any.
JsEvaluationError thrown_error(std::string_view name, std::string_view message, std::string_view details = {});

} // namespace bw::edge2
