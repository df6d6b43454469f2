#include "../application_record.h"

#include <bw/win32.h>

#include <objbase.h>

extern "C" {

bw_Err bw_ApplicationEngineImpl_initialize(bw_ApplicationEngineImpl*, bw_Application*, int, char**, const bw_ApplicationSettings*) {
	// WebView2 needs a single-threaded apartment on the GUI thread; S_FALSE means the thread already
	// is in one.
	HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
	if (hr == RPC_E_CHANGED_MODE)
		return bw_Err_new_with_msg(static_cast<uint32_t>(hr),
		                           "the GUI thread is in COM's multithreaded apartment, and WebView2 needs a single-threaded one: "
		                           "initialise the application before anything calls CoInitializeEx(COINIT_MULTITHREADED) on that thread");
	if (FAILED(hr)) return bw_win32_unhandledHresult(hr);
	return bw_Err_success();
}

void bw_ApplicationEngineImpl_free(bw_ApplicationEngineImpl*) {}

} // extern "C"
