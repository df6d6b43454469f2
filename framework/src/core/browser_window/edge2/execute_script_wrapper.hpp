// The wrapper that runs a script through ExecuteScript on runtimes without ExecuteScriptWithResult
// and reports what it did as a JSON array: [0, value], [1, name, message] after a throw (for a
// thrown value that is not an Error, name is empty and message is the value as a string), [2] for
// undefined (and for functions and symbols, which have no JSON form).
#pragma once

namespace bw::edge2 {

// The wrapper around the script, which goes between them as a JSON string literal. The script runs
// through an indirect eval: in the page's global scope, like ExecuteScript's own scripts, except that
// its let, const and class declarations stay inside it.
inline constexpr wchar_t execute_script_wrapper_prefix[] = L"(function () { var value; try { value = (0, eval)(";
inline constexpr wchar_t execute_script_wrapper_suffix[] =
    L"); } catch (error) { var name = \"\", message = \"\"; try { if (error instanceof Error) { name = String(error.name); "
    L"message = String(error.message); } else { message = String(error); } } catch (ignored) {} return [1, name, message]; } "
    L"return value === undefined || typeof value === \"function\" || typeof value === \"symbol\" ? [2] : [0, value]; })()";

} // namespace bw::edge2
