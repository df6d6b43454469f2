// The small part of JavaScript the engine understands: JSON literals, the page bridge that defines
// invoke_extern, calls of invoke_extern and window.chrome.webview.postMessage with literal
// arguments, and throw. Any other script is treated as one that evaluates to undefined.
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

struct ScriptRun {
	// The completion's result text; scripts that throw report "null" as well.
	std::wstring result = L"null";
	bool threw = false;
	// The script defines invoke_extern in the document it runs in.
	bool defines_bridge = false;
	// Web messages the script posted, as JSON, in order.
	std::vector<std::wstring> messages;
};

// Runs the script in a document where invoke_extern is (or is not) defined and where
// window.chrome.webview exists only while web messages are enabled.
ScriptRun run_script(std::wstring_view script, bool bridge_defined, bool messages_enabled);

} // namespace standin
