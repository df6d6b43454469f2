// The launcher's baseline: what tarnwick_desktop shows, written directly against GTK and WebKitGTK
// with no framework. A window titled "Tarnwick", 1024 by 768, whose WebKitWebView has developer
// tools enabled and loads the address; like the launcher, the window is shown once the first load
// finished. Closing the window ends the program.
//
//   bare_webkit_window [URL]    (default http://127.0.0.1:37338)
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

void on_load_changed(WebKitWebView*, WebKitLoadEvent event, gpointer window) {
	if (event == WEBKIT_LOAD_FINISHED) gtk_widget_show(GTK_WIDGET(window));
}

} // namespace

int main(int argc, char** argv) {
	if (!gtk_init_check(&argc, &argv)) {
		std::fprintf(stderr, "bare_webkit_window: cannot open the display\n");
		return 1;
	}
	const char* url = argc > 1 ? argv[1] : "http://127.0.0.1:37338";

	GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	gtk_window_set_title(GTK_WINDOW(window), "Tarnwick");
	gtk_window_set_default_size(GTK_WINDOW(window), 1024, 768);
	g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

	WebKitWebView* view = WEBKIT_WEB_VIEW(webkit_web_view_new());
	webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view), TRUE);
	gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
	gtk_widget_show(GTK_WIDGET(view));
	g_signal_connect(view, "load-changed", G_CALLBACK(on_load_changed), window);
	webkit_web_view_load_uri(view, url);

	gtk_main();
	return 0;
}
