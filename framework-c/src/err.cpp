#include <bw/err.h>
#include <bw/string.h>

#include <cstdlib>
#include <cstring>

namespace {

char* copyCstr(const char* text) {
	size_t len = std::strlen(text);
	char* copy = static_cast<char*>(std::malloc(len + 1));
	if (copy != nullptr) std::memcpy(copy, text, len + 1);
	return copy;
}

} // namespace

extern "C" {

char* bw_Err_msg_success(uint32_t, const void*) { return copyCstr("success"); }

char* bw_Err_msg_string(uint32_t, const void* data) { return copyCstr(static_cast<const char*>(data)); }

bw_Err bw_Err_success(void) { return bw_Err{0, nullptr, bw_Err_msg_success}; }

bw_Err bw_Err_new_with_msg(uint32_t code, const char* msg) { return bw_Err{code, copyCstr(msg), bw_Err_msg_string}; }

char* bw_Err_message(const bw_Err* error) { return error->alloc_message(error->code, error->data); }

void bw_Err_free(bw_Err* error) {
	std::free(error->data);
	// Releasing twice must not free twice.
	error->data = nullptr;
}

} // extern "C"
