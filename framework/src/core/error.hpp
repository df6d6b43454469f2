// The upper layer's error value, holding one lower-layer bw_Err record.
#pragma once

#include <bw/err.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <variant>

namespace bw {

// Owns its record: dropping an Error releases the record's data.
class Error {
public:
	explicit Error(bw_Err record) : record_(record) {}
	Error(Error&& other) noexcept : record_(std::exchange(other.record_, bw_Err_success())) {}
	Error& operator=(Error&& other) noexcept;
	Error(const Error&) = delete;
	Error& operator=(const Error&) = delete;
	~Error();

	uint32_t code() const { return record_.code; }
	const bw_Err& record() const { return record_; }
	// "[code] message"; a producer that makes invalid UTF-8 is a fatal stop.
	std::string to_string() const;
	// Error(cbw_Err { code: .., data: 0x.., alloc_message: 0x.. })
	std::string debug_string() const;

private:
	bw_Err record_;
};

std::ostream& operator<<(std::ostream& out, const Error& error);

// A bw_Err shown without the wrapper: its message alone, ill-formed UTF-8 replaced.
std::string err_message(const bw_Err& record);
std::string err_debug_string(const bw_Err& record);

// Either a value or an Error.
template <class T>
class Result {
public:
	Result(T value) : inner_(std::move(value)) {}
	Result(Error error) : inner_(std::move(error)) {}

	bool ok() const { return inner_.index() == 0; }
	T& value() { return std::get<0>(inner_); }
	Error& error() { return std::get<1>(inner_); }
	// The value, or a fatal stop showing the error's diagnostic form.
	T unwrap() &&;

private:
	std::variant<T, Error> inner_;
};

[[noreturn]] void fatal_unwrap(const Error& error);

template <class T>
T Result<T>::unwrap() && {
	if (!ok()) fatal_unwrap(error());
	return std::move(value());
}

// Success (code 0) drops the record; anything else becomes an Error.
Result<std::monostate> check(bw_Err record);

} // namespace bw
