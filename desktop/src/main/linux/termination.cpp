#include "termination.hpp"

#include <glib-unix.h>

#include <csignal>

namespace tarnwick::termination {

namespace {

gboolean on_signal(gpointer data) {
	(*static_cast<std::function<void()>*>(data))();
	return G_SOURCE_CONTINUE;
}

} // namespace

// SIGTERM and SIGINT (Ctrl-C in a terminal) arrive in GLib's main loop, on the GUI thread.
void on_request(std::function<void()> handler) {
	auto* kept = new std::function<void()>(std::move(handler)); // for as long as the process
	g_unix_signal_add(SIGTERM, on_signal, kept);
	g_unix_signal_add(SIGINT, on_signal, kept);
}

} // namespace tarnwick::termination
