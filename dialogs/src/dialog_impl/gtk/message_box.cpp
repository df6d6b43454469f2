#include "dialog_impl/gtk/gtk_support.hpp"
#include "dialog_impl/gtk/gui_thread.hpp"
#include "dialog_impl/platform.hpp"

namespace bw::dialogs::impl {

namespace {

GtkMessageType message_type(MessageType type) {
	switch (type) {
	case MessageType::Warning: return GTK_MESSAGE_WARNING;
	case MessageType::Error: return GTK_MESSAGE_ERROR;
	case MessageType::Info: break;
	}
	return GTK_MESSAGE_INFO;
}

} // namespace

// Runs a nested main loop on the GUI thread; calls dispatched to the application meanwhile still
// run. Asked for on another thread, the box is shown on the GUI thread and this thread waits.
Result<bool> message_box(const std::optional<RawWindowHandle>& owner, std::string_view title, std::string_view text,
                         MessageType type, bool ask) {
	return on_gui_thread_with_result([&]() -> Result<bool> {
		if (!gtk_ready()) return Error(Error::ImplementationError{gtk_init_method});
		GtkWidget* dialog = gtk_message_dialog_new(owner_window(owner), GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
		                                           message_type(type), ask ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s",
		                                           display_text(text).c_str());
		gtk_window_set_title(GTK_WINDOW(dialog), display_text(title).c_str());
		gint response = gtk_dialog_run(GTK_DIALOG(dialog));
		gtk_widget_destroy(dialog);
		return response == GTK_RESPONSE_YES;
	});
}

} // namespace bw::dialogs::impl
