/* Compiled as C: the lower layer's public headers must stay usable from C. */
#include <bw/application.h>
#include <bw/err.h>
#include <bw/string.h>

int bw_c_abi_check(void) {
	bw_Err success = bw_Err_success();
	bw_StrSlice empty = {0, 0};
	bw_string_free(empty);
	return (int)success.code;
}
