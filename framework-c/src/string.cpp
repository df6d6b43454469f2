#include <bw/string.h>

#include <cstdlib>
#include <cstring>

extern "C" {

char* bw_string_copyAsNewCstr(bw_CStrSlice str) {
	char* copy = static_cast<char*>(std::malloc(str.len + 1));
	if (copy == nullptr) return nullptr;
	if (str.len > 0) std::memcpy(copy, str.data, str.len);
	copy[str.len] = '\0';
	return copy;
}

void bw_string_free(bw_StrSlice str) { std::free(str.data); }

void bw_string_freeC(bw_CStrSlice str) { std::free(const_cast<char*>(str.data)); }

void bw_string_freeCstr(char* str) { std::free(str); }

} // extern "C"
