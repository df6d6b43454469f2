// Quoting texts for JavaScript source and for debug output.
#pragma once

#include <string>
#include <string_view>

namespace bw {

// Appends the text as a double-quoted JavaScript string literal made of ASCII only: letters,
// digits, space and the marks " -_!#$%&()*+,./:;<=>?@[]^`{|}~" stay as they are; NUL, backspace,
// tab, line feed, vertical tab, form feed, carriage return and both quotes get their short
// escapes; every other character below U+0100 becomes \xNN and every one from U+0100 on
// \u{...} (lower-case hexadecimal). NUL before a digit is \x00, since "\0" followed by a digit
// is a legacy octal escape. An ill-formed UTF-8 byte stands for U+FFFD, the replacement
// character, as a UTF-8 decoder would read it, so it becomes \u{fffd}.
void append_js_string_literal(std::string& out, std::string_view text);

// Appends the text in double quotes for debug output: well-formed UTF-8 stays readable, quotes,
// backslashes and control characters are escaped, and ill-formed bytes show as \xNN.
void append_debug_quoted(std::string& out, std::string_view text);

namespace js_detail {
class TextWriter;
// append_js_string_literal through a writer.
void write_js_string_literal(TextWriter& out, std::string_view text);
} // namespace js_detail

} // namespace bw
