// Find in page and print on WebKitGTK, with keys: Ctrl+F opens a find bar above the view (a search
// entry, "n of m", previous, next and close buttons, each with an accessible name); Enter, F3 and
// Ctrl+G find the next match, with Shift the previous; Esc closes the bar and gives the focus back
// to the page; a text not found marks the entry (the theme's "error" style). Searches are
// case-insensitive and wrap around (WebKitFindController). Ctrl+P opens the print dialog, as the
// page's window.print() does by the engine's default.
#include "core/browser_window/webkitgtk/engine_state.hpp"

#include <gdk/gdkkeysyms.h>

#include <string>

namespace bw::webkitgtk {

namespace {

constexpr guint find_options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;

// Kept as the bar's data; freed with the bar's widgets.
struct FindBar {
	EngineState* state = nullptr;
	// The box above the view, where the bar goes once first opened.
	GtkWidget* column = nullptr;
	GtkWidget* revealer = nullptr;
	GtkWidget* entry = nullptr;
	GtkWidget* count = nullptr;
	guint matches = 0;
	guint current = 0;
};

void set_accessible_name(GtkWidget* widget, const char* name) {
	atk_object_set_name(gtk_widget_get_accessible(widget), name);
	gtk_widget_set_tooltip_text(widget, name);
}

void show_count(FindBar* bar) {
	std::string text;
	if (bar->matches != 0) {
		const std::string& pattern = bar->state->capabilities->find_bar_texts.match_of;
		for (std::size_t i = 0; i < pattern.size(); i++) {
			if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
				text += std::to_string(pattern[++i] == '1' ? bar->current : bar->matches);
			} else {
				text += pattern[i];
			}
		}
	}
	gtk_label_set_text(GTK_LABEL(bar->count), text.c_str());
}

void mark_not_found(FindBar* bar, bool not_found) {
	GtkStyleContext* style = gtk_widget_get_style_context(bar->entry);
	if (not_found)
		gtk_style_context_add_class(style, GTK_STYLE_CLASS_ERROR);
	else
		gtk_style_context_remove_class(style, GTK_STYLE_CLASS_ERROR);
}

WebKitFindController* controller(FindBar* bar) { return webkit_web_view_get_find_controller(bar->state->view); }

void on_search_changed(GtkSearchEntry*, gpointer data) {
	auto* bar = static_cast<FindBar*>(data);
	if (bar->state == nullptr) return;
	const char* text = gtk_entry_get_text(GTK_ENTRY(bar->entry));
	bar->matches = 0;
	bar->current = 0;
	if (*text == '\0') {
		webkit_find_controller_search_finish(controller(bar));
		mark_not_found(bar, false);
		show_count(bar);
		return;
	}
	webkit_find_controller_count_matches(controller(bar), text, find_options, G_MAXUINT);
	webkit_find_controller_search(controller(bar), text, find_options, G_MAXUINT);
}

void on_counted(WebKitFindController*, guint matches, gpointer data) {
	auto* bar = static_cast<FindBar*>(data);
	bar->matches = matches;
	if (bar->current == 0 || bar->current > matches) bar->current = matches > 0 ? 1 : 0;
	mark_not_found(bar, matches == 0);
	show_count(bar);
}

void on_failed(WebKitFindController*, gpointer data) {
	auto* bar = static_cast<FindBar*>(data);
	bar->matches = 0;
	bar->current = 0;
	mark_not_found(bar, true);
	show_count(bar);
}

void step(FindBar* bar, bool backwards) {
	if (bar->state == nullptr || bar->matches == 0) return;
	if (backwards) {
		webkit_find_controller_search_previous(controller(bar));
		bar->current = bar->current <= 1 ? bar->matches : bar->current - 1;
	} else {
		webkit_find_controller_search_next(controller(bar));
		bar->current = bar->current >= bar->matches ? 1 : bar->current + 1;
	}
	show_count(bar);
}

bool bar_open(FindBar* bar) { return bar->revealer != nullptr && gtk_revealer_get_reveal_child(GTK_REVEALER(bar->revealer)); }

void build_bar(FindBar* bar);

void open_bar(FindBar* bar) {
	build_bar(bar);
	gtk_revealer_set_reveal_child(GTK_REVEALER(bar->revealer), TRUE);
	gtk_widget_grab_focus(bar->entry);
	gtk_editable_select_region(GTK_EDITABLE(bar->entry), 0, -1);
}

void close_bar(FindBar* bar) {
	if (bar->state == nullptr || bar->revealer == nullptr) return;
	gtk_revealer_set_reveal_child(GTK_REVEALER(bar->revealer), FALSE);
	webkit_find_controller_search_finish(controller(bar));
	gtk_widget_grab_focus(GTK_WIDGET(bar->state->view));
}

void on_stop_search(GtkSearchEntry*, gpointer data) { close_bar(static_cast<FindBar*>(data)); }
void on_next(GtkButton*, gpointer data) { step(static_cast<FindBar*>(data), false); }
void on_previous(GtkButton*, gpointer data) { step(static_cast<FindBar*>(data), true); }
void on_close(GtkButton*, gpointer data) { close_bar(static_cast<FindBar*>(data)); }

// Before the window hands the key to the focused widget.
gboolean on_key_press(GtkWidget*, GdkEventKey* event, gpointer data) {
	auto* bar = static_cast<FindBar*>(data);
	guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
	bool shift = (modifiers & GDK_SHIFT_MASK) != 0;
	bool control = (modifiers & GDK_CONTROL_MASK) != 0;
	guint key = gdk_keyval_to_lower(event->keyval);
	if (control && !shift && key == GDK_KEY_f) {
		open_bar(bar);
		return TRUE;
	}
	if (control && !shift && key == GDK_KEY_p) {
		print_page(bar->state);
		return TRUE;
	}
	if (!bar_open(bar)) return FALSE;
	bool in_entry = gtk_widget_has_focus(bar->entry);
	if (key == GDK_KEY_F3 || (control && key == GDK_KEY_g) || (in_entry && (key == GDK_KEY_Return || key == GDK_KEY_KP_Enter))) {
		step(bar, shift);
		return TRUE;
	}
	if (key == GDK_KEY_Escape && in_entry) {
		close_bar(bar);
		return TRUE;
	}
	return FALSE;
}

GtkWidget* icon_button(const char* icon, const char* name, GCallback clicked, FindBar* bar) {
	GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON);
	set_accessible_name(button, name);
	g_signal_connect(button, "clicked", clicked, bar);
	return button;
}

// The bar's widgets are made when it first opens: their icons and styles slowed every window's
// start.
void build_bar(FindBar* bar) {
	if (bar->revealer != nullptr) return;
	const FindBarTexts& texts = bar->state->capabilities->find_bar_texts;
	bar->entry = gtk_search_entry_new();
	set_accessible_name(bar->entry, texts.find.c_str());
	gtk_entry_set_width_chars(GTK_ENTRY(bar->entry), 30);
	bar->count = gtk_label_new("");
	gtk_label_set_width_chars(GTK_LABEL(bar->count), 10);
	atk_object_set_name(gtk_widget_get_accessible(bar->count), texts.matches.c_str());
	GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
	gtk_container_set_border_width(GTK_CONTAINER(row), 4);
	gtk_box_pack_start(GTK_BOX(row), bar->entry, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(row), bar->count, FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(row), icon_button("go-up-symbolic", texts.previous.c_str(), G_CALLBACK(on_previous), bar), FALSE, FALSE, 0);
	gtk_box_pack_start(GTK_BOX(row), icon_button("go-down-symbolic", texts.next.c_str(), G_CALLBACK(on_next), bar), FALSE, FALSE, 0);
	gtk_box_pack_end(GTK_BOX(row), icon_button("window-close-symbolic", texts.close.c_str(), G_CALLBACK(on_close), bar), FALSE, FALSE, 0);
	bar->revealer = gtk_revealer_new();
	gtk_revealer_set_transition_type(GTK_REVEALER(bar->revealer), GTK_REVEALER_TRANSITION_TYPE_NONE);
	gtk_container_add(GTK_CONTAINER(bar->revealer), row);
	atk_object_set_role(gtk_widget_get_accessible(row), ATK_ROLE_TOOL_BAR);
	atk_object_set_name(gtk_widget_get_accessible(row), texts.bar.c_str());
	gtk_box_pack_start(GTK_BOX(bar->column), bar->revealer, FALSE, FALSE, 0);
	gtk_box_reorder_child(GTK_BOX(bar->column), bar->revealer, 0);
	gtk_widget_show_all(bar->revealer);
	g_signal_connect(bar->entry, "search-changed", G_CALLBACK(on_search_changed), bar);
	g_signal_connect(bar->entry, "stop-search", G_CALLBACK(on_stop_search), bar);
}

} // namespace

void connect_find_and_print(EngineState* state) {
	if (!state->capabilities->find_and_print) return;
	auto* bar = new FindBar{state};
	// The bar above the view, both in a box that takes the view's place in the window.
	bar->column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
	GtkWidget* view = GTK_WIDGET(state->view);
	g_object_ref(view);
	gtk_container_remove(GTK_CONTAINER(state->window), view);
	gtk_box_pack_start(GTK_BOX(bar->column), view, TRUE, TRUE, 0);
	g_object_unref(view);
	gtk_container_add(GTK_CONTAINER(state->window), bar->column);
	gtk_widget_show_all(bar->column);
	g_object_set_data_full(G_OBJECT(bar->column), "bw-find-bar", bar, [](gpointer data) { delete static_cast<FindBar*>(data); });

	WebKitFindController* find = webkit_web_view_get_find_controller(state->view);
	g_signal_connect(find, "counted-matches", G_CALLBACK(on_counted), bar);
	g_signal_connect(find, "failed-to-find-text", G_CALLBACK(on_failed), bar);
	g_signal_connect(state->window, "key-press-event", G_CALLBACK(on_key_press), bar);
	state->find_bar = bar;
}

void print_page(EngineState* state) {
	WebKitPrintOperation* operation = webkit_print_operation_new(state->view);
	webkit_print_operation_run_dialog(operation, GTK_WINDOW(state->window));
	g_object_unref(operation);
}

bool find_in_page(EngineState* state, const std::string& text) {
	auto* bar = static_cast<FindBar*>(state->find_bar);
	if (bar == nullptr) return false;
	open_bar(bar);
	// Searched as typed: the entry's search-changed comes at once for a text set in code.
	gtk_entry_set_text(GTK_ENTRY(bar->entry), text.c_str());
	g_signal_emit_by_name(bar->entry, "search-changed");
	return true;
}

void disconnect_find_and_print(EngineState* state) {
	if (state->find_bar == nullptr) return;
	g_signal_handlers_disconnect_by_data(state->window, state->find_bar);
	g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(state->view), state->find_bar);
	// The bar's widgets go with the window, later.
	static_cast<FindBar*>(state->find_bar)->state = nullptr;
	state->find_bar = nullptr;
}

} // namespace bw::webkitgtk
