#include "dialog_impl/gtk/gtk_support.hpp"
#include "dialog_impl/gtk/gui_thread.hpp"
#include "dialog_impl/platform.hpp"

#include <glib.h>

#include <cctype>
#include <memory>

namespace bw::dialogs::impl {

namespace {

// "*.png" also matches "A.PNG", as on Windows: each letter becomes a class of both its cases.
std::string case_insensitive(std::string_view pattern) {
	std::string out;
	for (char c : pattern) {
		unsigned char byte = static_cast<unsigned char>(c);
		if (std::isalpha(byte) && byte < 0x80) {
			out += '[';
			out += static_cast<char>(std::tolower(byte));
			out += static_cast<char>(std::toupper(byte));
			out += ']';
		} else {
			out += c;
		}
	}
	return out;
}

void add_file_type(GtkFileChooser* chooser, const FileType& type) {
	GtkFileFilter* filter = gtk_file_filter_new();
	gtk_file_filter_set_name(filter, display_text(type.name).c_str());
	std::string_view spec = type.spec;
	while (!spec.empty()) {
		std::size_t end = spec.find(';');
		std::string_view pattern = spec.substr(0, end);
		if (!pattern.empty()) gtk_file_filter_add_pattern(filter, case_insensitive(pattern).c_str());
		spec = end == std::string_view::npos ? std::string_view() : spec.substr(end + 1);
	}
	gtk_file_chooser_add_filter(chooser, filter);
}

std::string accept_label(const DialogParams& params, GtkFileChooserAction action) {
	if (!params.ok_button_label.empty()) return display_text(params.ok_button_label);
	if (action == GTK_FILE_CHOOSER_ACTION_SAVE) return "_Save";
	if (action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER) return "_Select";
	return "_Open";
}

// GTK has no default extension: appending one after the dialog closed would skip its overwrite
// question, so it is left out. There is no file name label either.
void configure(GtkFileChooser* chooser, const DialogParams& params, GtkFileChooserAction action) {
	gtk_file_chooser_set_local_only(chooser, TRUE);
	if (action == GTK_FILE_CHOOSER_ACTION_SAVE && !params.save_as_item.empty())
		gtk_file_chooser_set_filename(chooser, params.save_as_item.c_str());
	const std::string& folder = params.folder.empty() ? params.default_folder : params.folder;
	if (!folder.empty()) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
	if (!params.file_name.empty()) {
		if (action == GTK_FILE_CHOOSER_ACTION_SAVE) {
			gtk_file_chooser_set_current_name(chooser, display_text(params.file_name).c_str());
		} else if (action == GTK_FILE_CHOOSER_ACTION_OPEN) {
			std::unique_ptr<char, decltype(&g_free)> current(g_get_current_dir(), g_free);
			std::filesystem::path base = folder.empty() ? std::filesystem::path(current.get()) : std::filesystem::path(folder);
			gtk_file_chooser_select_filename(chooser, (base / params.file_name).c_str());
		}
	}
	for (const FileType& type : params.file_types) add_file_type(chooser, type);
	if (params.file_type_index >= 1) {
		GSList* filters = gtk_file_chooser_list_filters(chooser);
		if (auto* filter = static_cast<GtkFileFilter*>(g_slist_nth_data(filters, params.file_type_index - 1)))
			gtk_file_chooser_set_filter(chooser, filter);
		g_slist_free(filters);
	}
	gtk_file_chooser_set_select_multiple(chooser, (params.options & options::allow_multiselect) != 0);
	if (action == GTK_FILE_CHOOSER_ACTION_SAVE)
		gtk_file_chooser_set_do_overwrite_confirmation(chooser, (params.options & options::overwrite_prompt) != 0);
}

// The chosen filter, 1-based; 0 when there is none.
uint32_t file_type_index(GtkFileChooser* chooser) {
	GtkFileFilter* current = gtk_file_chooser_get_filter(chooser);
	GSList* filters = gtk_file_chooser_list_filters(chooser);
	int position = current == nullptr ? -1 : g_slist_index(filters, current);
	g_slist_free(filters);
	return static_cast<uint32_t>(position + 1);
}

// The local paths of the chosen files, in the chooser's order; files without one are left out.
std::vector<std::filesystem::path> chosen_paths(GtkFileChooser* chooser) {
	std::vector<std::filesystem::path> paths;
	GSList* files = gtk_file_chooser_get_files(chooser);
	for (GSList* node = files; node != nullptr; node = node->next) {
		auto* file = static_cast<GFile*>(node->data);
		if (char* path = g_file_get_path(file)) {
			paths.emplace_back(path);
			g_free(path);
		}
	}
	g_slist_free_full(files, g_object_unref);
	return paths;
}

template <class T, class Read>
ShellResult<T> run_chooser_here(const DialogParams& params, GtkFileChooserAction action, Read read) {
	if (!gtk_ready()) return HResultFailed{0, gtk_init_method};
	std::string title = display_text(params.title);
	GtkWidget* dialog = gtk_file_chooser_dialog_new(title.empty() ? nullptr : title.c_str(), owner_window(params.owner), action,
	                                                "_Cancel", GTK_RESPONSE_CANCEL, accept_label(params, action).c_str(),
	                                                GTK_RESPONSE_ACCEPT, nullptr);
	gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
	gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
	GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
	configure(chooser, params, action);
	gint response = gtk_dialog_run(GTK_DIALOG(dialog));
	ShellResult<T> result = response == GTK_RESPONSE_ACCEPT ? read(chooser) : ShellResult<T>(UserCancelled{});
	gtk_widget_destroy(dialog);
	return result;
}

// Shows a modal chooser in a nested main loop on the GUI thread (asked for on another thread, that
// thread waits) and reads the answer with read; any response other than accept is a cancel.
template <class T, class Read>
ShellResult<T> run_chooser(const DialogParams& params, GtkFileChooserAction action, Read read) {
	return on_gui_thread_with_result([&] { return run_chooser_here<T>(params, action, read); });
}

} // namespace

ShellResult<OpenDialogResult> open_dialog(const DialogParams& params) {
	GtkFileChooserAction action =
	    (params.options & options::pick_folders) != 0 ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN;
	return run_chooser<OpenDialogResult>(params, action, [](GtkFileChooser* chooser) -> ShellResult<OpenDialogResult> {
		std::vector<std::filesystem::path> paths = chosen_paths(chooser);
		if (paths.empty()) return UnsupportedFilepath{};
		std::filesystem::path first = paths.front();
		return OpenDialogResult{std::move(first), std::move(paths), file_type_index(chooser)};
	});
}

ShellResult<SaveDialogResult> save_dialog(const DialogParams& params) {
	return run_chooser<SaveDialogResult>(params, GTK_FILE_CHOOSER_ACTION_SAVE, [](GtkFileChooser* chooser) -> ShellResult<SaveDialogResult> {
		std::vector<std::filesystem::path> paths = chosen_paths(chooser);
		if (paths.empty()) return UnsupportedFilepath{};
		return SaveDialogResult{std::move(paths.front()), file_type_index(chooser)};
	});
}

} // namespace bw::dialogs::impl
