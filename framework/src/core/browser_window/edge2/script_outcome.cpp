#include "core/browser_window/edge2/script_outcome.hpp"

#include <cwchar>

namespace bw::edge2 {

namespace {

// JSON's escapes, which JavaScript reads the same way; U+2028 and U+2029 escaped for older engines.
void append_json_string(std::wstring& out, std::wstring_view text) {
	out += L'"';
	for (wchar_t c : text) {
		switch (c) {
		case L'"': out += L"\\\""; break;
		case L'\\': out += L"\\\\"; break;
		case L'\n': out += L"\\n"; break;
		case L'\r': out += L"\\r"; break;
		case L'\t': out += L"\\t"; break;
		default:
			if (c < 0x20 || c == 0x2028 || c == 0x2029) {
				wchar_t escaped[8];
				std::swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
				out += escaped;
			} else {
				out += c;
			}
		}
	}
	out += L'"';
}

std::string text_of(const JsValue& value) {
	const std::string* text = value.as_string();
	return text != nullptr ? *text : value.to_string();
}

} // namespace

std::wstring wrap_for_execute_script(std::wstring_view script) {
	std::wstring wrapped = execute_script_wrapper_prefix;
	append_json_string(wrapped, script);
	wrapped += execute_script_wrapper_suffix;
	return wrapped;
}

JsEvalResult unwrap_execute_script_result(std::string_view json) {
	JsValue outcome = JsValue::from_json(json);
	JsArray* parts = outcome.as_array();
	if (parts == nullptr || parts->empty() || parts->front().as_number() == nullptr) return outcome;
	std::string kind = parts->front().to_string();
	if (kind == "0" && parts->size() == 2) return std::move((*parts)[1]);
	if (kind == "1" && parts->size() == 3) return thrown_error(text_of((*parts)[1]), text_of((*parts)[2]));
	if (kind == "2" && parts->size() == 1) return JsValue::undefined();
	return outcome;
}

JsValue value_of_result_json(std::string_view json) { return json == "undefined" ? JsValue::undefined() : JsValue::from_json(json); }

JsEvaluationError thrown_error(std::string_view name, std::string_view message, std::string_view details) {
	if (!name.empty() && !message.empty()) return {std::string(name) + ": " + std::string(message)};
	if (!name.empty() || !message.empty()) return {std::string(name.empty() ? message : name)};
	if (!details.empty()) return {"uncaught exception: " + std::string(details)};
	return {"uncaught exception"};
}

} // namespace bw::edge2
