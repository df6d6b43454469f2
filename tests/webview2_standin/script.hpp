// The small part of JavaScript the engine understands: JSON literals, undefined, the page bridge
// that defines invoke_extern, calls of invoke_extern and window.chrome.webview.postMessage with
// literal arguments, throw of a literal or of new SomeError("message"), and the binding's wrapper
// for runtimes without ExecuteScriptWithResult, which reports what the script inside it did. Any
// other script is treated as one that evaluates to undefined.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct JsonValue {
	// Normalised the way JSON.stringify writes it: no blanks, strings re-escaped, duplicate object
	// keys merged, array-index keys first in ascending order. Numbers stay as written.
	std::wstring json;
	// The decoded contents when the value is a string.
	std::optional<std::wstring> string;
};

// The whole text as one JSON value (blanks around it allowed).
std::optional<JsonValue> parse_json(std::wstring_view text);

// What a script threw: an Error's name and message (both empty for anything else), and the thrown
// value as JSON when it has that form.
struct Thrown {
	std::wstring name;
	std::wstring message;
	std::wstring value_json = L"null";
};

struct ScriptRun {
	// The script's value as JSON; none for undefined and after a throw.
	std::optional<std::wstring> value;
	std::optional<Thrown> thrown;
	// The script defines invoke_extern in the document it runs in.
	bool defines_bridge = false;
	// Web messages the script posted, as JSON, in order.
	std::vector<std::wstring> messages;

	// ExecuteScript's result text: "null" stands for undefined and for a throw as well.
	std::wstring execute_script_json() const { return value ? *value : L"null"; }
	// ExecuteScriptWithResult's result text: "undefined" for undefined, "null" after a throw.
	std::wstring result_as_json() const { return value ? *value : thrown ? L"null" : L"undefined"; }
	// The exception's details as JSON.
	std::wstring exception_json() const;
};

// Runs the script in a document where invoke_extern is (or is not) defined and where
// window.chrome.webview exists only while web messages are enabled.
ScriptRun run_script(std::wstring_view script, bool bridge_defined, bool messages_enabled);

} // namespace standin
