#include "error.hpp"

#include <cstdio>

namespace bw::dialogs {

namespace {

// The text in double quotes with quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text) {
	std::string out = "\"";
	for (char c : text) {
		switch (c) {
		case '"': out += "\\\""; break;
		case '\\': out += "\\\\"; break;
		case '\n': out += "\\n"; break;
		case '\r': out += "\\r"; break;
		case '\t': out += "\\t"; break;
		default:
			if (static_cast<unsigned char>(c) < 0x20) {
				char escape[16];
				std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(c));
				out += escape;
			} else {
				out += c;
			}
		}
	}
	return out + "\"";
}

template <class... F>
struct Overloaded : F... {
	using F::operator()...;
};

} // namespace

std::string OsError::to_string() const { return message + " (os error " + std::to_string(code) + ")"; }

std::string OsError::debug_string() const {
	return "Os { code: " + std::to_string(code) + ", message: " + quoted(message) + " }";
}

std::string Utf8Failure::to_string() const {
	if (!error_len) return "incomplete utf-8 byte sequence from index " + std::to_string(valid_up_to);
	return "invalid utf-8 sequence of " + std::to_string(*error_len) + " bytes from index " + std::to_string(valid_up_to);
}

std::string Utf8Failure::debug_string() const {
	std::string length = error_len ? "Some(" + std::to_string(*error_len) + ")" : "None";
	return "Utf8Error { valid_up_to: " + std::to_string(valid_up_to) + ", error_len: " + length + " }";
}

std::string Error::to_string() const {
	return std::visit(Overloaded{
	                      [](const IoFailure&) { return "system error or I/O failure"; },
	                      [](const InvalidString&) { return "the implementation returns malformed strings"; },
	                      [](const UnexpectedOutput&) { return "failed to parse the string returned from implementation"; },
	                      [](const NoImplementation&) { return "cannot find any dialog implementation (kdialog/zenity)"; },
	                      [](const ImplementationError&) { return "the implementation reports error"; },
	                  },
	                  variant_);
}

std::string Error::debug_string() const {
	return std::visit(Overloaded{
	                      [](const IoFailure& e) { return "IoFailure(" + e.error.debug_string() + ")"; },
	                      [](const InvalidString& e) { return "InvalidString(" + e.error.debug_string() + ")"; },
	                      [](const UnexpectedOutput& e) { return "UnexpectedOutput(" + quoted(e.description) + ")"; },
	                      [](const NoImplementation&) { return std::string("NoImplementation"); },
	                      [](const ImplementationError& e) { return "ImplementationError(" + quoted(e.message) + ")"; },
	                  },
	                  variant_);
}

std::optional<std::string> Error::cause() const {
	if (auto* io = get_if<IoFailure>()) return io->error.to_string();
	if (auto* invalid = get_if<InvalidString>()) return invalid->error.to_string();
	return std::nullopt;
}

std::ostream& operator<<(std::ostream& out, const Error& error) { return out << error.to_string(); }

} // namespace bw::dialogs
