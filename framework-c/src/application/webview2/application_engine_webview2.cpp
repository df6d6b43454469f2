#include "../application_record.h"

#include <objbase.h>

extern "C" {

bw_Err bw_ApplicationEngineImpl_initialize(bw_ApplicationEngineImpl*, bw_Application*, int, char**, const bw_ApplicationSettings*) {
	// WebView2 needs a single-threaded apartment on the GUI thread. A thread already initialised
	// otherwise is not an error of ours to report.
	CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
	return bw_Err_success();
}

void bw_ApplicationEngineImpl_free(bw_ApplicationEngineImpl*) {}

} // extern "C"
