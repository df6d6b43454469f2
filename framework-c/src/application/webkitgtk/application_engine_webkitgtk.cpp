#include "../application_record.h"

#include <gtk/gtk.h>

extern "C" {

bw_Err bw_ApplicationEngineImpl_initialize(bw_ApplicationEngineImpl*, bw_Application*, int, char**, const bw_ApplicationSettings*) {
	// GTK reads no arguments of ours; it only needs a display.
	if (!gtk_init_check(nullptr, nullptr)) return bw_Err_new_with_msg(1, "unable to initialize GTK: cannot open the display");
	return bw_Err_success();
}

void bw_ApplicationEngineImpl_free(bw_ApplicationEngineImpl*) {}

} // extern "C"
