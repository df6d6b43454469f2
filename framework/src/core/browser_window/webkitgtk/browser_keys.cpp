// The browser keys of a WebKitGTK window: F5 and Ctrl+R reload, Ctrl+Plus (also Ctrl+= and the
// keypad's +), Ctrl+Minus and Ctrl+0 zoom, and so does Ctrl+wheel, through the steps of
// zoom_steps.hpp. The keys are taken on the GtkWindow's key-press-event, which runs before the window
// hands the key to the focused view, so the page never sees them; the wheel on the view's
// scroll-event, before the view scrolls.
#include "core/browser_window/webkitgtk/engine_state.hpp"
#include "core/browser_window/zoom_steps.hpp"

#include <gdk/gdkkeysyms.h>

#include <cmath>

namespace bw::webkitgtk {

namespace {

gboolean on_key_press(GtkWidget*, GdkEventKey* event, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
	if (event->keyval == GDK_KEY_F5) {
		webkit_web_view_reload(state->view);
		return TRUE;
	}
	// Shift may be part of the key: Plus is Shift+= on many layouts.
	if ((modifiers & ~GDK_SHIFT_MASK) != GDK_CONTROL_MASK) return FALSE;
	double zoom = webkit_web_view_get_zoom_level(state->view);
	switch (event->keyval) {
	case GDK_KEY_r:
	case GDK_KEY_R: webkit_web_view_reload(state->view); return TRUE;
	case GDK_KEY_plus:
	case GDK_KEY_equal:
	case GDK_KEY_KP_Add: user_zoom(state, zoom_step_in(zoom)); return TRUE;
	case GDK_KEY_minus:
	case GDK_KEY_underscore:
	case GDK_KEY_KP_Subtract: user_zoom(state, zoom_step_out(zoom)); return TRUE;
	case GDK_KEY_0:
	case GDK_KEY_KP_0:
	case GDK_KEY_KP_Insert: user_zoom(state, 1.0); return TRUE;
	default: return FALSE;
	}
}

// A wheel's notch is a whole step; smooth scrolling adds up to one.
gboolean on_scroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
	auto* state = static_cast<EngineState*>(data);
	if ((event->state & gtk_accelerator_get_default_mod_mask()) != GDK_CONTROL_MASK) return FALSE;
	int steps = 0;
	if (event->direction == GDK_SCROLL_UP) steps = 1;
	else if (event->direction == GDK_SCROLL_DOWN) steps = -1;
	else if (event->direction == GDK_SCROLL_SMOOTH) {
		state->wheel_delta -= event->delta_y;
		steps = static_cast<int>(std::trunc(state->wheel_delta));
		state->wheel_delta -= steps;
	}
	double zoom = webkit_web_view_get_zoom_level(state->view);
	for (int i = 0; i < steps; i++) zoom = zoom_step_in(zoom);
	for (int i = 0; i > steps; i--) zoom = zoom_step_out(zoom);
	if (steps != 0) user_zoom(state, zoom);
	return TRUE;
}

} // namespace

void user_zoom(EngineState* state, double factor) {
	factor = clamp_zoom(factor);
	if (std::abs(factor - webkit_web_view_get_zoom_level(state->view)) < 1e-9) return;
	webkit_web_view_set_zoom_level(state->view, factor);
	if (!state->capabilities->zoom_changed) return;
	call_program(state, [&](BrowserWindowHandle handle, const PageCapabilities& capabilities) { capabilities.zoom_changed(handle, factor); });
}

void connect_browser_keys(EngineState* state) {
	if (!state->capabilities->browser_keys) return;
	g_signal_connect(state->window, "key-press-event", G_CALLBACK(on_key_press), state);
	g_signal_connect(state->view, "scroll-event", G_CALLBACK(on_scroll), state);
}

} // namespace bw::webkitgtk
