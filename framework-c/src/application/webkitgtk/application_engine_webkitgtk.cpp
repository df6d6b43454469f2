#include "../application_record.h"

#include <gtk/gtk.h>

#include <glob.h>
#include <unistd.h>

namespace {

// WebKitGTK's DMA-BUF renderer shows a blank window where the GPU cannot share buffers with it: the
// NVIDIA proprietary driver, and machines without a usable render node (virtual machines, Xvfb).
// There it is turned off, unless the user already decided with WEBKIT_DISABLE_DMABUF_RENDERER.
bool dmabuf_renderer_known_to_fail() {
	if (access("/proc/driver/nvidia/version", F_OK) == 0) return true;
	glob_t nodes{};
	bool usable = false;
	if (glob("/dev/dri/renderD*", 0, nullptr, &nodes) == 0) {
		for (size_t i = 0; i < nodes.gl_pathc && !usable; i++) usable = access(nodes.gl_pathv[i], R_OK | W_OK) == 0;
	}
	globfree(&nodes);
	return !usable;
}

} // namespace

extern "C" {

bw_Err bw_ApplicationEngineImpl_initialize(bw_ApplicationEngineImpl*, bw_Application*, int, char**, const bw_ApplicationSettings*) {
	if (g_getenv("WEBKIT_DISABLE_DMABUF_RENDERER") == nullptr && dmabuf_renderer_known_to_fail())
		g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
	// GTK reads no arguments of ours; it only needs a display.
	if (!gtk_init_check(nullptr, nullptr)) return bw_Err_new_with_msg(1, "unable to initialize GTK: cannot open the display");
	return bw_Err_success();
}

void bw_ApplicationEngineImpl_free(bw_ApplicationEngineImpl*) {}

} // extern "C"
