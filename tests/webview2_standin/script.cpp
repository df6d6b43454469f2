#include "script.hpp"

#include "core/browser_window/edge2/execute_script_wrapper.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace standin {
namespace {

// Deep enough for any test value, shallow enough for the stack.
constexpr int max_depth = 200;

bool is_json_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }
bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool is_identifier_part(wchar_t c) {
	return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || is_digit(c) || c == L'_' || c == L'$';
}

// JSON.stringify's escaping: the two-character escapes, \u00xx for other control characters and
// for unpaired surrogates, everything else as it is.
void append_quoted(std::wstring& out, std::wstring_view text) {
	out += L'"';
	for (size_t i = 0; i < text.size(); ++i) {
		wchar_t c = text[i];
		bool lone_surrogate = false;
		if (c >= 0xD800 && c <= 0xDBFF) {
			if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
				out += c;
				out += text[++i];
				continue;
			}
			lone_surrogate = true;
		} else if (c >= 0xDC00 && c <= 0xDFFF) {
			lone_surrogate = true;
		}
		switch (c) {
		case L'"': out += L"\\\""; break;
		case L'\\': out += L"\\\\"; break;
		case L'\b': out += L"\\b"; break;
		case L'\f': out += L"\\f"; break;
		case L'\n': out += L"\\n"; break;
		case L'\r': out += L"\\r"; break;
		case L'\t': out += L"\\t"; break;
		default:
			if (c < 0x20 || lone_surrogate) {
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

// Keys that JavaScript orders before all others: canonical decimal integers below 2^32 - 1.
std::optional<uint32_t> array_index(std::wstring_view key) {
	if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == L'0')) return std::nullopt;
	uint64_t value = 0;
	for (wchar_t c : key) {
		if (!is_digit(c)) return std::nullopt;
		value = value * 10 + static_cast<uint64_t>(c - L'0');
	}
	if (value >= 0xFFFFFFFFull) return std::nullopt;
	return static_cast<uint32_t>(value);
}

class Reader {
public:
	explicit Reader(std::wstring_view text) : text_(text) {}

	size_t pos = 0;

	bool at_end() const { return pos >= text_.size(); }
	wchar_t peek() const { return at_end() ? L'\0' : text_[pos]; }
	wchar_t text_at(size_t at) const { return text_[at]; }
	void skip_blanks() {
		while (!at_end() && is_json_blank(text_[pos])) ++pos;
	}
	// Skips blanks that do not end a statement.
	void skip_inline_blanks() {
		while (!at_end() && (text_[pos] == L' ' || text_[pos] == L'\t')) ++pos;
	}
	bool take(wchar_t c) {
		if (peek() != c) return false;
		++pos;
		return true;
	}
	// A keyword or name, not followed by more identifier characters.
	bool take_word(std::wstring_view word) {
		if (text_.substr(pos, word.size()) != word) return false;
		size_t end = pos + word.size();
		if (end < text_.size() && is_identifier_part(text_[end])) return false;
		pos = end;
		return true;
	}

	std::optional<JsonValue> value(int depth = 0) {
		if (depth > max_depth) return std::nullopt;
		skip_blanks();
		switch (peek()) {
		case L'{': return object(depth);
		case L'[': return array(depth);
		case L'"': {
			auto contents = string();
			if (!contents) return std::nullopt;
			JsonValue result;
			append_quoted(result.json, *contents);
			result.string = std::move(contents);
			return result;
		}
		default: break;
		}
		for (std::wstring_view literal : {L"true", L"false", L"null"}) {
			if (take_word(literal)) return JsonValue{std::wstring(literal), std::nullopt};
		}
		return number();
	}

private:
	std::wstring_view text_;

	std::optional<JsonValue> object(int depth) {
		++pos;
		std::vector<std::pair<std::wstring, std::wstring>> members;
		skip_blanks();
		if (!take(L'}')) {
			for (;;) {
				skip_blanks();
				if (peek() != L'"') return std::nullopt;
				auto key = string();
				if (!key) return std::nullopt;
				skip_blanks();
				if (!take(L':')) return std::nullopt;
				auto member = value(depth + 1);
				if (!member) return std::nullopt;
				// A repeated key keeps its first place and takes the last value.
				auto same = std::find_if(members.begin(), members.end(), [&](const auto& m) { return m.first == *key; });
				if (same != members.end()) {
					same->second = std::move(member->json);
				} else {
					members.emplace_back(std::move(*key), std::move(member->json));
				}
				skip_blanks();
				if (take(L'}')) break;
				if (!take(L',')) return std::nullopt;
			}
		}
		std::stable_sort(members.begin(), members.end(), [](const auto& a, const auto& b) {
			auto ia = array_index(a.first);
			auto ib = array_index(b.first);
			if (ia && ib) return *ia < *ib;
			return ia.has_value() && !ib.has_value();
		});
		JsonValue result;
		result.json = L"{";
		for (size_t i = 0; i < members.size(); ++i) {
			if (i > 0) result.json += L',';
			append_quoted(result.json, members[i].first);
			result.json += L':';
			result.json += members[i].second;
		}
		result.json += L'}';
		return result;
	}

	std::optional<JsonValue> array(int depth) {
		++pos;
		JsonValue result;
		result.json = L"[";
		skip_blanks();
		if (!take(L']')) {
			for (bool first = true;; first = false) {
				auto element = value(depth + 1);
				if (!element) return std::nullopt;
				if (!first) result.json += L',';
				result.json += element->json;
				skip_blanks();
				if (take(L']')) break;
				if (!take(L',')) return std::nullopt;
			}
		}
		result.json += L']';
		return result;
	}

	std::optional<unsigned> hex_digit() {
		wchar_t c = peek();
		unsigned digit;
		if (is_digit(c)) {
			digit = static_cast<unsigned>(c - L'0');
		} else if (c >= L'a' && c <= L'f') {
			digit = static_cast<unsigned>(c - L'a' + 10);
		} else if (c >= L'A' && c <= L'F') {
			digit = static_cast<unsigned>(c - L'A' + 10);
		} else {
			return std::nullopt;
		}
		++pos;
		return digit;
	}

	std::optional<std::wstring> string() {
		++pos;
		std::wstring contents;
		for (;;) {
			if (at_end()) return std::nullopt;
			wchar_t c = text_[pos++];
			if (c == L'"') return contents;
			if (c < 0x20) return std::nullopt;
			if (c != L'\\') {
				contents += c;
				continue;
			}
			if (at_end()) return std::nullopt;
			switch (text_[pos++]) {
			case L'"': contents += L'"'; break;
			case L'\\': contents += L'\\'; break;
			case L'/': contents += L'/'; break;
			case L'b': contents += L'\b'; break;
			case L'f': contents += L'\f'; break;
			case L'n': contents += L'\n'; break;
			case L'r': contents += L'\r'; break;
			case L't': contents += L'\t'; break;
			case L'u': {
				unsigned unit = 0;
				for (int i = 0; i < 4; ++i) {
					auto digit = hex_digit();
					if (!digit) return std::nullopt;
					unit = unit * 16 + *digit;
				}
				contents += static_cast<wchar_t>(unit);
				break;
			}
			default: return std::nullopt;
			}
		}
	}

	std::optional<JsonValue> number() {
		size_t start = pos;
		take(L'-');
		if (take(L'0')) {
			// no further integer digits after a leading zero
		} else if (is_digit(peek())) {
			while (is_digit(peek())) ++pos;
		} else {
			return std::nullopt;
		}
		if (take(L'.')) {
			if (!is_digit(peek())) return std::nullopt;
			while (is_digit(peek())) ++pos;
		}
		if (take(L'e') || take(L'E')) {
			if (!take(L'+')) take(L'-');
			if (!is_digit(peek())) return std::nullopt;
			while (is_digit(peek())) ++pos;
		}
		if (is_identifier_part(peek()) || peek() == L'.') return std::nullopt;
		return JsonValue{std::wstring(text_.substr(start, pos - start)), std::nullopt};
	}
};

struct Statement {
	enum class Kind { Value, Undefined, Throw, InvokeExtern, PostMessage } kind;
	std::wstring json;
	Thrown thrown;
};

Thrown error(std::wstring name, std::wstring message) { return Thrown{std::move(name), std::move(message), L"{}"}; }

// What follows throw: new SomeError("message") (or 'message'), or a literal.
Thrown thrown_value(Reader& reader) {
	reader.skip_blanks();
	if (!reader.take_word(L"new")) {
		auto value = reader.value();
		return value ? Thrown{{}, {}, std::move(value->json)} : Thrown{};
	}
	reader.skip_blanks();
	std::wstring name;
	while (is_identifier_part(reader.peek())) name += reader.text_at(reader.pos++);
	reader.skip_blanks();
	std::wstring message;
	if (reader.take(L'(')) {
		reader.skip_blanks();
		if (reader.peek() == L'"') {
			if (auto text = reader.value(); text && text->string) message = *text->string;
		} else if (reader.take(L'\'')) {
			while (!reader.at_end() && reader.peek() != L'\'') message += reader.text_at(reader.pos++);
		}
	}
	return error(std::move(name), std::move(message));
}

// The literal arguments of a call, after its name: "(" [value {"," value}] ")".
std::optional<std::vector<std::wstring>> call_arguments(Reader& reader) {
	reader.skip_blanks();
	if (!reader.take(L'(')) return std::nullopt;
	std::vector<std::wstring> arguments;
	reader.skip_blanks();
	if (reader.take(L')')) return arguments;
	for (;;) {
		auto argument = reader.value();
		if (!argument) return std::nullopt;
		arguments.push_back(std::move(argument->json));
		reader.skip_blanks();
		if (reader.take(L')')) return arguments;
		if (!reader.take(L',')) return std::nullopt;
	}
}

// Reads the whole script before anything runs, as a syntax error keeps all of it from running.
std::optional<std::vector<Statement>> parse_statements(std::wstring_view script) {
	Reader reader(script);
	std::vector<Statement> statements;
	for (;;) {
		while (!reader.at_end() && (is_json_blank(reader.peek()) || reader.peek() == L';')) ++reader.pos;
		if (reader.at_end()) return statements;
		if (reader.take_word(L"throw")) {
			// What follows cannot change the outcome.
			statements.push_back({Statement::Kind::Throw, {}, thrown_value(reader)});
			return statements;
		}
		if (reader.take_word(L"invoke_extern")) {
			auto arguments = call_arguments(reader);
			if (!arguments) return std::nullopt;
			std::wstring json = L"[";
			for (size_t i = 0; i < arguments->size(); ++i) {
				if (i > 0) json += L',';
				json += (*arguments)[i];
			}
			json += L']';
			statements.push_back({Statement::Kind::InvokeExtern, std::move(json), {}});
		} else if (reader.take_word(L"window.chrome.webview.postMessage")) {
			auto arguments = call_arguments(reader);
			if (!arguments || arguments->size() != 1) return std::nullopt;
			statements.push_back({Statement::Kind::PostMessage, std::move((*arguments)[0]), {}});
		} else if (reader.take_word(L"undefined")) {
			statements.push_back({Statement::Kind::Undefined, {}, {}});
		} else {
			auto value = reader.value();
			if (!value) return std::nullopt;
			statements.push_back({Statement::Kind::Value, std::move(value->json), {}});
		}
		// Statements end at a semicolon, a line break or the end of the script.
		reader.skip_inline_blanks();
		if (!reader.at_end() && reader.peek() != L';' && reader.peek() != L'\n' && reader.peek() != L'\r') return std::nullopt;
	}
}

// The script inside the binding's wrapper, when the script is that wrapper.
std::optional<std::wstring> wrapped_script(std::wstring_view script) {
	std::wstring_view prefix = bw::edge2::execute_script_wrapper_prefix;
	std::wstring_view suffix = bw::edge2::execute_script_wrapper_suffix;
	if (script.size() < prefix.size() + suffix.size() || !script.starts_with(prefix) || !script.ends_with(suffix)) return std::nullopt;
	auto literal = parse_json(script.substr(prefix.size(), script.size() - prefix.size() - suffix.size()));
	if (!literal || !literal->string) return std::nullopt;
	return literal->string;
}

// String(value) for the thrown values the engine knows.
std::wstring string_of(const std::wstring& json) {
	if (auto value = parse_json(json); value && value->string) return *value->string;
	return !json.empty() && json[0] == L'{' ? L"[object Object]" : json;
}

// What the wrapper makes of the inner script's outcome: [0, value], [1, name, message] or [2].
ScriptRun run_wrapped(const std::wstring& inner, bool bridge_defined, bool messages_enabled) {
	ScriptRun run = run_script(inner, bridge_defined, messages_enabled);
	std::wstring outcome;
	if (run.thrown) {
		bool is_error = !run.thrown->name.empty();
		outcome = L"[1,";
		append_quoted(outcome, run.thrown->name);
		outcome += L',';
		append_quoted(outcome, is_error ? run.thrown->message : string_of(run.thrown->value_json));
		outcome += L']';
	} else {
		outcome = run.value ? L"[0," + *run.value + L"]" : L"[2]";
	}
	run.thrown.reset();
	run.value = std::move(outcome);
	return run;
}

} // namespace

std::optional<JsonValue> parse_json(std::wstring_view text) {
	Reader reader(text);
	auto value = reader.value();
	reader.skip_blanks();
	if (!value || !reader.at_end()) return std::nullopt;
	return value;
}

ScriptRun run_script(std::wstring_view script, bool bridge_defined, bool messages_enabled) {
	ScriptRun run;
	if (auto inner = wrapped_script(script)) return run_wrapped(*inner, bridge_defined, messages_enabled);
	if (script.find(L"function invoke_extern(") != std::wstring_view::npos) {
		run.defines_bridge = true;
		return run;
	}
	auto statements = parse_statements(script);
	if (!statements) return run;
	for (auto& statement : *statements) {
		switch (statement.kind) {
		case Statement::Kind::Throw: run.thrown = std::move(statement.thrown); break;
		case Statement::Kind::InvokeExtern:
			if (!bridge_defined) {
				run.thrown = error(L"ReferenceError", L"invoke_extern is not defined");
				break;
			}
			[[fallthrough]];
		case Statement::Kind::PostMessage:
			// window.chrome.webview is not there without web messages.
			if (!messages_enabled) {
				run.thrown = error(L"TypeError", L"Cannot read properties of undefined (reading 'postMessage')");
				break;
			}
			run.messages.push_back(std::move(statement.json));
			run.value.reset();
			break;
		case Statement::Kind::Undefined: run.value.reset(); break;
		case Statement::Kind::Value: run.value = std::move(statement.json); break;
		}
		if (run.thrown) {
			run.value.reset();
			return run;
		}
	}
	return run;
}

std::wstring ScriptRun::exception_json() const {
	if (!thrown) return L"null";
	std::wstring json = L"{\"name\":";
	append_quoted(json, thrown->name);
	json += L",\"message\":";
	append_quoted(json, thrown->message);
	json += L",\"lineNumber\":0,\"columnNumber\":0,\"exception\":" + thrown->value_json + L"}";
	return json;
}

} // namespace standin
