// JsValue::from_json: nlohmann's SAX parser drives a builder that makes the JsValue directly.
#include "javascript/js_value.hpp"

#include <nlohmann/json.hpp>

namespace bw {

namespace {

using json = nlohmann::json;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

class JsonBuilder {
public:
	// With texts, every number takes the next of them instead of what the parser read.
	explicit JsonBuilder(const std::vector<std::string_view>* number_texts = nullptr) : number_texts_(number_texts) {}

	JsValue take() { return std::move(root_); }
	bool number_overflowed() const { return number_overflowed_; }

	bool null() { return place(JsValue::null()); }
	bool boolean(bool value) { return place(JsValue::boolean(value)); }
	bool number_integer(json::number_integer_t value) { return number_texts_ ? next_number_text() : place(JsValue::number(value)); }
	bool number_unsigned(json::number_unsigned_t value) { return number_texts_ ? next_number_text() : place(JsValue::number(value)); }

	bool number_float(json::number_float_t, const std::string& text) {
		if (number_texts_) return next_number_text();
		auto number = BigFloat::parse(text);
		// The lexer writes the locale's decimal separator in place of the point.
		if (!number) number = BigFloat::parse(with_point(text));
		return number && place(JsValue::number(*number));
	}

	bool string(std::string& value) { return place(JsValue::string(std::move(value))); }
	bool binary(json::binary_t&) { return false; }

	bool start_object(std::size_t) { return open(JsValue::object()); }
	bool key(std::string& key) {
		key_ = std::move(key);
		return true;
	}
	bool end_object() { return close(); }
	bool start_array(std::size_t) { return open(JsValue::array()); }
	bool end_array() { return close(); }

	bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
		// 406: a number past the range of double, which the parser will not read on.
		number_overflowed_ = error.id == 406;
		return false;
	}

private:
	JsValue* put(JsValue&& value) {
		if (open_.empty()) {
			root_ = std::move(value);
			return &root_;
		}
		JsValue* container = open_.back();
		if (JsArray* items = container->as_array()) {
			items->push_back(std::move(value));
			return &items->back();
		}
		// Replacing keeps the last of repeated keys.
		return &container->as_object()->insert_or_assign(std::move(key_), std::move(value)).first->second;
	}

	bool place(JsValue&& value) {
		put(std::move(value));
		return true;
	}

	// An open container's address stays valid: nothing is added to its parent until it closes.
	bool open(JsValue&& container) {
		if (open_.size() >= JsValue::max_depth) return false;
		open_.push_back(put(std::move(container)));
		return true;
	}

	bool close() {
		open_.pop_back();
		return true;
	}

	bool next_number_text() {
		if (next_number_ >= number_texts_->size()) return false;
		auto number = BigFloat::parse((*number_texts_)[next_number_++]);
		return number && place(JsValue::number(*number));
	}

	static std::string with_point(std::string text) {
		for (char& c : text)
			if (!is_digit(c) && c != '-' && c != '+' && c != 'e' && c != 'E') c = '.';
		return text;
	}

	JsValue root_;
	std::vector<JsValue*> open_;
	std::string key_;
	const std::vector<std::string_view>* number_texts_;
	std::size_t next_number_ = 0;
	bool number_overflowed_ = false;
};

bool parse(std::string_view text, JsonBuilder& builder) {
	return json::sax_parse(text.data(), text.data() + text.size(), &builder);
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool is_json_number(std::string_view t) {
	std::size_t i = 0;
	auto digits = [&] {
		std::size_t start = i;
		while (i < t.size() && is_digit(t[i])) ++i;
		return i > start;
	};
	if (i < t.size() && t[i] == '-') ++i;
	if (i < t.size() && t[i] == '0')
		++i;
	else if (!digits())
		return false;
	if (i < t.size() && t[i] == '.' && (++i, !digits())) return false;
	if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
		++i;
		if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
		if (!digits()) return false;
	}
	return i == t.size();
}

// Reads JSON whose numbers may lie past the range of double: every number token is replaced by 0
// for the parser, and the builder reads the original tokens, in order, in its place. Outside
// strings, a number of a JSON text is exactly a maximal run of "-+.eE" and digits; a run that is
// not a JSON number means the text is not JSON.
std::optional<JsValue> read_with_number_texts(std::string_view json_text) {
	std::string masked;
	masked.reserve(json_text.size());
	std::vector<std::string_view> numbers;
	const std::size_t n = json_text.size();
	for (std::size_t i = 0; i < n;) {
		char c = json_text[i];
		if (c == '"') {
			std::size_t end = i + 1;
			while (end < n && json_text[end] != '"') end += json_text[end] == '\\' ? 2 : 1;
			end = end < n ? end + 1 : n;
			masked.append(json_text.substr(i, end - i));
			i = end;
		} else if (c == '-' || is_digit(c)) {
			std::size_t end = i;
			while (end < n && (is_digit(json_text[end]) || std::string_view("-+.eE").find(json_text[end]) != std::string_view::npos)) ++end;
			std::string_view token = json_text.substr(i, end - i);
			if (!is_json_number(token)) return std::nullopt;
			numbers.push_back(token);
			masked += '0';
			i = end;
		} else {
			masked += c;
			++i;
		}
	}
	JsonBuilder builder(&numbers);
	if (!parse(masked, builder)) return std::nullopt;
	return builder.take();
}

} // namespace

JsValue JsValue::from_json(std::string_view json_text) {
	JsonBuilder builder;
	if (parse(json_text, builder)) return builder.take();
	if (builder.number_overflowed())
		if (auto value = read_with_number_texts(json_text)) return std::move(*value);
	return JsValue::other(std::string(json_text));
}

} // namespace bw
