// Answering GTK dialogs from outside the call that shows them: a timeout on the GUI thread, which
// runs inside the dialog's own nested loop, finds the dialog among GTK's windows and acts on it as
// a user would.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace bw::dialogs::testing {

// The first visible, mapped toplevel of the type, or null.
inline GtkWidget* find_dialog(GType type) {
	GList* windows = gtk_window_list_toplevels();
	GtkWidget* found = nullptr;
	for (GList* node = windows; node != nullptr && found == nullptr; node = node->next)
		if (G_TYPE_CHECK_INSTANCE_TYPE(node->data, type) && gtk_widget_get_mapped(GTK_WIDGET(node->data))) found = GTK_WIDGET(node->data);
	g_list_free(windows);
	return found;
}

inline void click(GtkWidget* dialog, gint response) {
	if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response)) gtk_button_clicked(GTK_BUTTON(button));
}

inline std::string title_of(GtkWidget* window) {
	const char* title = gtk_window_get_title(GTK_WINDOW(window));
	return title != nullptr ? title : "";
}

// Every 20 ms looks for a dialog of the type and, once there is one, calls answer(dialog) on each
// tick until it returns true. A dialog still open after ten seconds, answered or not, is closed, so
// a failing test does not hang.
class DialogWatcher {
public:
	DialogWatcher(GType type, std::function<bool(GtkWidget* dialog)> answer)
	    : type_(type), answer_(std::move(answer)), deadline_(g_get_monotonic_time() + 10 * G_USEC_PER_SEC) {
		source_ = g_timeout_add(20, tick, this);
	}
	~DialogWatcher() {
		if (source_ != 0) g_source_remove(source_);
	}

	bool done() const { return done_; }

private:
	static gboolean tick(gpointer data) {
		auto* self = static_cast<DialogWatcher*>(data);
		GtkWidget* dialog = find_dialog(self->type_);
		bool late = g_get_monotonic_time() > self->deadline_;
		if (late && dialog != nullptr) gtk_window_close(GTK_WINDOW(dialog));
		if (late || (dialog == nullptr && self->done_)) {
			self->source_ = 0;
			return G_SOURCE_REMOVE;
		}
		// Once answered it only waits for the dialog to go.
		if (dialog != nullptr && !self->done_) self->done_ = self->answer_(dialog);
		return G_SOURCE_CONTINUE;
	}

	GType type_;
	std::function<bool(GtkWidget*)> answer_;
	gint64 deadline_;
	guint source_ = 0;
	bool done_ = false;
};

} // namespace bw::dialogs::testing
