#include "../window_record.h"

#include "../../assertion.h"

#include <bw/string.h>
#include <bw/window_gtk.h>

#include <algorithm>
#include <cstring>

namespace {

bw_Window* record_of(gpointer data) { return static_cast<bw_Window*>(data); }

// The close button: release the user data (which may free the record) and hide the window instead
// of letting GTK destroy it. The window is kept referenced so that it outlives a free of the record.
gboolean on_delete(GtkWidget* widget, GdkEvent*, gpointer data) {
	bw_Window* window = record_of(data);
	if (bw_Window_closeFiltered(window)) return TRUE;
	g_object_ref(widget);
	if (window->user_data != nullptr) bw_Window_freeUserData(window);
	gtk_widget_hide(widget);
	g_object_unref(widget);
	return TRUE;
}

void on_destroy(GtkWidget*, gpointer data) {
	bw_Window* window = record_of(data);
	if (window->user_data != nullptr) bw_Window_freeUserData(window);
}

void on_size_allocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
	bw_WindowGtk_onResize(record_of(data), 0, allocation->width, 0, allocation->height);
}

// GTK applies a new size or position of a shown window only once the window system answers, and
// until then reads the old one back. What was asked for is read back instead, as on the other
// platform, until GTK reads something other than before the request: the window system's answer,
// the size asked for or what a window manager chose instead.
void ask(bw_WindowGtkPending* pending, int first, int second, void (*read)(GtkWindow*, int*, int*), GtkWindow* window) {
	*pending = bw_WindowGtkPending{true, first, second, 0, 0};
	read(window, &pending->first_before, &pending->second_before);
}

void read_or_asked(bw_WindowGtkPending* pending, void (*read)(GtkWindow*, int*, int*), GtkWindow* window, int* first, int* second) {
	read(window, first, second);
	if (!pending->asked) return;
	if (*first != pending->first_before || *second != pending->second_before) {
		pending->asked = false;
		return;
	}
	*first = pending->first;
	*second = pending->second;
}

// Without a minimise box: the window manager is asked for every function except minimising.
void on_realize(GtkWidget* widget, gpointer data) {
	if (!record_of(data)->impl_.minimizable)
		gdk_window_set_functions(gtk_widget_get_window(widget), static_cast<GdkWMFunction>(GDK_FUNC_ALL | GDK_FUNC_MINIMIZE));
}

bw_Dims2D dims(int width, int height) { return bw_Dims2D{static_cast<uint16_t>(width), static_cast<uint16_t>(height)}; }

// The frame the window manager adds around the client area (none without a window manager).
void frame_extra(GtkWidget* handle, int* extra_width, int* extra_height) {
	*extra_width = 0;
	*extra_height = 0;
	GdkWindow* gdk_window = gtk_widget_get_window(handle);
	if (gdk_window == nullptr) return;
	GdkRectangle frame;
	gdk_window_get_frame_extents(gdk_window, &frame);
	int width = 0, height = 0;
	gtk_window_get_size(GTK_WINDOW(handle), &width, &height);
	*extra_width = std::max(0, frame.width - width);
	*extra_height = std::max(0, frame.height - height);
}

void content_size(const bw_WindowImpl* impl, int* width, int* height) {
	read_or_asked(&impl->size, gtk_window_get_size, GTK_WINDOW(impl->handle), width, height);
}

void resize_content(bw_WindowImpl* impl, int width, int height) {
	ask(&impl->size, width, height, gtk_window_get_size, GTK_WINDOW(impl->handle));
	gtk_window_resize(GTK_WINDOW(impl->handle), width, height);
}

} // namespace

extern "C" {

bw_WindowImpl bw_WindowImpl_new(bw_Window* window, bw_CStrSlice title, int width, int height, const bw_WindowOptions* options) {
	GtkWidget* handle = gtk_window_new(GTK_WINDOW_TOPLEVEL);
	// The toplevel stays alive until the record is freed, whatever happens to it meanwhile.
	g_object_ref_sink(handle);
	char* title_text = bw_string_copyAsNewCstr(title);
	gtk_window_set_title(GTK_WINDOW(handle), title_text);
	bw_string_freeCstr(title_text);

	if (width != -1 || height != -1) gtk_window_set_default_size(GTK_WINDOW(handle), width, height);
	// Without borders there is no title bar either; every window stays resizable.
	gtk_window_set_decorated(GTK_WINDOW(handle), options->borders ? TRUE : FALSE);

	g_signal_connect(handle, "delete-event", G_CALLBACK(on_delete), window);
	g_signal_connect(handle, "destroy", G_CALLBACK(on_destroy), window);
	g_signal_connect(handle, "size-allocate", G_CALLBACK(on_size_allocate), window);
	g_signal_connect(handle, "realize", G_CALLBACK(on_realize), window);
	return bw_WindowImpl{handle, 0, options->minimizable != 0, 255, {}, {}};
}

void bw_WindowImpl_show(bw_WindowImpl* impl) { gtk_widget_show_all(impl->handle); }

void bw_WindowImpl_hide(bw_WindowImpl* impl) { gtk_widget_hide(impl->handle); }

void bw_WindowImpl_close(bw_WindowImpl* impl) { impl->closed = 0; }

void bw_WindowImpl_free(bw_WindowImpl* impl) {
	// Unlinked from the record first: destroying must not reach the record being freed.
	g_signal_handlers_disconnect_matched(impl->handle, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, reinterpret_cast<gpointer>(on_delete), nullptr);
	g_signal_handlers_disconnect_matched(impl->handle, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, reinterpret_cast<gpointer>(on_destroy), nullptr);
	g_signal_handlers_disconnect_matched(impl->handle, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, reinterpret_cast<gpointer>(on_size_allocate),
	                                     nullptr);
	g_signal_handlers_disconnect_matched(impl->handle, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr, reinterpret_cast<gpointer>(on_realize), nullptr);
	gtk_widget_destroy(impl->handle);
	g_object_unref(impl->handle);
	impl->handle = nullptr;
}

GtkWidget* bw_WindowGtk_getHandle(const bw_Window* window) { return window->impl_.handle; }

bw_Dims2D bw_Window_getContentDimensions(const bw_Window* window) {
	int width = 0, height = 0;
	content_size(&window->impl_, &width, &height);
	return dims(width, height);
}

bw_Dims2D bw_Window_getWindowDimensions(const bw_Window* window) {
	int width = 0, height = 0, extra_width = 0, extra_height = 0;
	content_size(&window->impl_, &width, &height);
	frame_extra(window->impl_.handle, &extra_width, &extra_height);
	return dims(width + extra_width, height + extra_height);
}

bw_Pos2D bw_Window_getPosition(const bw_Window* window) {
	int x = 0, y = 0;
	read_or_asked(&window->impl_.position, gtk_window_get_position, GTK_WINDOW(window->impl_.handle), &x, &y);
	return bw_Pos2D{static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
}

uint8_t bw_Window_getOpacity(const bw_Window* window) { return window->impl_.opacity; }

size_t bw_Window_getTitle(const bw_Window* window, char** title) {
	const char* text = gtk_window_get_title(GTK_WINDOW(window->impl_.handle));
	size_t length = text == nullptr ? 0 : std::strlen(text);
	if (length == 0) return 0;
	*title = bw_string_copyAsNewCstr(bw_CStrSlice{length, text});
	return length;
}

void bw_Window_setTitle(bw_Window* window, bw_CStrSlice title) {
	char* text = bw_string_copyAsNewCstr(title);
	gtk_window_set_title(GTK_WINDOW(window->impl_.handle), text);
	bw_string_freeCstr(text);
}

void bw_Window_setContentDimensions(bw_Window* window, bw_Dims2D dimensions) {
	resize_content(&window->impl_, std::max<int>(1, dimensions.width), std::max<int>(1, dimensions.height));
}

void bw_Window_setWindowDimensions(bw_Window* window, bw_Dims2D dimensions) {
	int extra_width = 0, extra_height = 0;
	frame_extra(window->impl_.handle, &extra_width, &extra_height);
	resize_content(&window->impl_, std::max(1, dimensions.width - extra_width), std::max(1, dimensions.height - extra_height));
}

void bw_Window_setPosition(bw_Window* window, bw_Pos2D position) {
	ask(&window->impl_.position, position.x, position.y, gtk_window_get_position, GTK_WINDOW(window->impl_.handle));
	gtk_window_move(GTK_WINDOW(window->impl_.handle), position.x, position.y);
}

void bw_Window_setOpacity(bw_Window* window, uint8_t opacity) {
	gtk_widget_set_opacity(window->impl_.handle, opacity / 255.0);
	window->impl_.opacity = opacity;
}

} // extern "C"
