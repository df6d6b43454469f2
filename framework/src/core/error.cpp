#include "core/error.hpp"

#include "core/fatal.hpp"
#include "core/utf8.hpp"

#include <bw/string.h>

#include <cstdio>
#include <memory>

namespace bw {

namespace {

using Message = std::unique_ptr<char, decltype(&bw_string_freeCstr)>;

Message produce_message(const bw_Err& record) { return Message(bw_Err_message(&record), bw_string_freeCstr); }

std::string hex_address(const void* address) {
	char text[32];
	std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
	return text;
}

} // namespace

Error& Error::operator=(Error&& other) noexcept {
	if (this != &other) {
		bw_Err_free(&record_);
		record_ = std::exchange(other.record_, bw_Err_success());
	}
	return *this;
}

Error::~Error() { bw_Err_free(&record_); }

std::string Error::to_string() const {
	Message message = produce_message(record_);
	std::string_view text(message.get());
	if (!utf8::is_valid(text)) fatal_stop("invalid utf-8 in bw_Err error message");
	return "[" + std::to_string(record_.code) + "] " + std::string(text);
}

std::string Error::debug_string() const { return "Error(" + err_debug_string(record_) + ")"; }

std::ostream& operator<<(std::ostream& out, const Error& error) { return out << error.to_string(); }

std::string err_message(const bw_Err& record) {
	Message message = produce_message(record);
	return utf8::replace_invalid(message.get());
}

std::string err_debug_string(const bw_Err& record) {
	std::string producer = record.alloc_message == nullptr
	                           ? "None"
	                           : hex_address(reinterpret_cast<const void*>(record.alloc_message));
	return "cbw_Err { code: " + std::to_string(record.code) + ", data: " + hex_address(record.data) +
	       ", alloc_message: " + producer + " }";
}

void fatal_unwrap(const Error& error) {
	fatal_stop("called `Result::unwrap()` on an `Err` value: " + error.debug_string());
}

Result<std::monostate> check(bw_Err record) {
	if (record.code != 0) return Error(record);
	bw_Err_free(&record);
	return std::monostate{};
}

} // namespace bw
