// The dialogs' error: why a message box or file dialog could not give an answer.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>

namespace bw::dialogs {

// An operating-system error: its code and the system's text for it.
struct OsError {
	int32_t code = 0;
	std::string message;

	// "message (os error code)"
	std::string to_string() const;
	// Os { code: .., message: ".." }
	std::string debug_string() const;
};

// Bytes that failed to read as UTF-8: the valid prefix length and the bad sequence's length, if known.
struct Utf8Failure {
	std::size_t valid_up_to = 0;
	std::optional<uint8_t> error_len;

	std::string to_string() const;
	std::string debug_string() const;
};

class Error {
public:
	struct IoFailure {
		OsError error;
	};
	struct InvalidString {
		Utf8Failure error;
	};
	struct UnexpectedOutput {
		const char* description;
	};
	struct NoImplementation {};
	struct ImplementationError {
		std::string message;
	};
	using Variant = std::variant<IoFailure, InvalidString, UnexpectedOutput, NoImplementation, ImplementationError>;

	template <class V>
	    requires std::constructible_from<Variant, V&&>
	Error(V&& variant) : variant_(std::forward<V>(variant)) {}

	const Variant& variant() const { return variant_; }
	template <class V>
	const V* get_if() const {
		return std::get_if<V>(&variant_);
	}

	// The variant's fixed phrase; what it carries is left out.
	std::string to_string() const;
	// The variant's name with what it carries in parentheses, e.g. ImplementationError("Unsupported filepath").
	std::string debug_string() const;
	// The text of the underlying cause: the system error of an IoFailure, the conversion failure of an
	// InvalidString; nothing for the others.
	std::optional<std::string> cause() const;

private:
	Variant variant_;
};

std::ostream& operator<<(std::ostream& out, const Error& error);

// Either a value or a dialogs Error.
template <class T>
class Result {
public:
	Result(T value) : inner_(std::move(value)) {}
	Result(Error error) : inner_(std::move(error)) {}

	bool ok() const { return inner_.index() == 0; }
	T& value() { return std::get<0>(inner_); }
	const T& value() const { return std::get<0>(inner_); }
	Error& error() { return std::get<1>(inner_); }
	const Error& error() const { return std::get<1>(inner_); }

private:
	std::variant<T, Error> inner_;
};

} // namespace bw::dialogs
