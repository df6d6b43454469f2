#include "core/browser_window/webkitgtk/creation_failure.hpp"

#include "core/fatal.hpp"

#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>

namespace bw::webkitgtk {

namespace {

bool error_box_skipped() {
	const char* value = std::getenv("BW_NO_ERROR_BOX");
	return value != nullptr && std::strcmp(value, "1") == 0;
}

} // namespace

void creation_failure(const std::string& text) {
	if (!error_box_skipped()) {
		GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", text.c_str());
		gtk_window_set_title(GTK_WINDOW(box), "Browser Window Error");
		gtk_dialog_run(GTK_DIALOG(box));
		gtk_widget_destroy(box);
	}
	fatal_stop(text);
}

} // namespace bw::webkitgtk
