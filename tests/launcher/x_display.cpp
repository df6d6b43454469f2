#include "x_display.hpp"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

namespace tarnwick::testing {

namespace {

// Windows come and go while we look (other tests share the display; GTK and WebKit destroy
// windows of their own): every request is checked, and a window that is gone reads as no reply.
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The error is taken by reference and read only here: as a plain argument beside the call that
// sets it, it could be read before that call (the order is unspecified) and the error would leak.
template <typename Reply>
ReplyPtr<Reply> checked(Reply* reply, xcb_generic_error_t*& error) {
	std::free(error);
	error = nullptr;
	return ReplyPtr<Reply>(reply, &std::free);
}

// An X server resets itself when its last client leaves and refuses connections meanwhile.
xcb_connection_t* open_display(int& screen_number) {
	int error = 0;
	for (int attempt = 0; attempt < 100; attempt++) {
		xcb_connection_t* connection = xcb_connect(nullptr, &screen_number);
		if ((error = xcb_connection_has_error(connection)) == 0) return connection;
		xcb_disconnect(connection);
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}
	const char* display = std::getenv("DISPLAY");
	throw std::runtime_error("no X display at " + std::string(display != nullptr ? display : "(DISPLAY unset)") + " (xcb error " + std::to_string(error) + ")");
}

xcb_atom_t intern(xcb_connection_t* connection, const char* name) {
	xcb_generic_error_t* error = nullptr;
	auto reply = checked(xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), &error), error);
	return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

} // namespace

struct XDisplay::Connection {
	xcb_connection_t* connection;
	xcb_screen_t* screen;
	xcb_atom_t net_wm_name, wm_protocols, wm_delete_window;
};

XDisplay::XDisplay() : x_(new Connection{}) {
	int screen_number = 0;
	x_->connection = open_display(screen_number);
	xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x_->connection));
	for (int i = 0; i < screen_number; i++) xcb_screen_next(&screens);
	x_->screen = screens.data;
	x_->net_wm_name = intern(x_->connection, "_NET_WM_NAME");
	x_->wm_protocols = intern(x_->connection, "WM_PROTOCOLS");
	x_->wm_delete_window = intern(x_->connection, "WM_DELETE_WINDOW");
}

XDisplay::~XDisplay() {
	xcb_disconnect(x_->connection);
	delete x_;
}

std::vector<XDisplay::TopLevel> XDisplay::top_levels() {
	xcb_connection_t* c = x_->connection;
	std::vector<TopLevel> found;
	xcb_generic_error_t* error = nullptr;
	auto tree = checked(xcb_query_tree_reply(c, xcb_query_tree(c, x_->screen->root), &error), error);
	if (!tree) return found;
	const xcb_window_t* children = xcb_query_tree_children(tree.get());
	int count = xcb_query_tree_children_length(tree.get());
	// All questions first, then all answers: one round trip for the whole list.
	struct Asked {
		xcb_get_window_attributes_cookie_t attributes;
		xcb_get_geometry_cookie_t geometry;
		xcb_get_property_cookie_t utf8_name, name;
	};
	std::vector<Asked> asked;
	for (int i = 0; i < count; i++)
		asked.push_back({xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i]),
		                 xcb_get_property(c, 0, children[i], x_->net_wm_name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
		                 xcb_get_property(c, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024)});
	for (int i = 0; i < count; i++) {
		auto attributes = checked(xcb_get_window_attributes_reply(c, asked[i].attributes, &error), error);
		auto geometry = checked(xcb_get_geometry_reply(c, asked[i].geometry, &error), error);
		auto utf8_name = checked(xcb_get_property_reply(c, asked[i].utf8_name, &error), error);
		auto name = checked(xcb_get_property_reply(c, asked[i].name, &error), error);
		if (!attributes || !geometry) continue;
		std::string title;
		for (const auto* property : {utf8_name.get(), name.get()}) {
			if (property == nullptr || property->format != 8 || xcb_get_property_value_length(property) == 0) continue;
			title.assign(static_cast<const char*>(xcb_get_property_value(property)), static_cast<std::size_t>(xcb_get_property_value_length(property)));
			break;
		}
		found.push_back(TopLevel{children[i], title, geometry->width, geometry->height, attributes->map_state == XCB_MAP_STATE_VIEWABLE});
	}
	return found;
}

std::optional<XDisplay::TopLevel> XDisplay::find(const std::string& title) {
	for (const TopLevel& window : top_levels())
		if (window.mapped && window.title == title) return window;
	return std::nullopt;
}

int XDisplay::distinct_colours(XWindowId window) {
	xcb_connection_t* c = x_->connection;
	const auto id = static_cast<xcb_window_t>(window);
	xcb_generic_error_t* error = nullptr;
	auto geometry = checked(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), &error), error);
	if (!geometry) return 0;
	auto image = checked(xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0, geometry->width, geometry->height, ~0u), &error), error);
	if (!image) return 0;
	// The bytes of a pixel and of a row follow the server's format for the image's depth.
	int bits_per_pixel = 0, scanline_pad = 32;
	const xcb_setup_t* setup = xcb_get_setup(c);
	for (xcb_format_iterator_t format = xcb_setup_pixmap_formats_iterator(setup); format.rem > 0; xcb_format_next(&format))
		if (format.data->depth == image->depth) {
			bits_per_pixel = format.data->bits_per_pixel;
			scanline_pad = format.data->scanline_pad;
		}
	if (bits_per_pixel < 8) return 0;
	const int pixel_bytes = bits_per_pixel / 8;
	const int row_bytes = (geometry->width * bits_per_pixel + scanline_pad - 1) / scanline_pad * scanline_pad / 8;
	const uint8_t* data = xcb_get_image_data(image.get());
	const int length = xcb_get_image_data_length(image.get());
	std::set<std::string> colours;
	for (int y = 0; y < geometry->height && colours.size() < 64; y += 3)
		for (int x = 0; x < geometry->width && colours.size() < 64; x += 3) {
			int offset = y * row_bytes + x * pixel_bytes;
			if (offset + pixel_bytes <= length) colours.emplace(reinterpret_cast<const char*>(data + offset), static_cast<std::size_t>(pixel_bytes));
		}
	return static_cast<int>(colours.size());
}

void XDisplay::request_close(XWindowId window) {
	xcb_client_message_event_t event{};
	event.response_type = XCB_CLIENT_MESSAGE;
	event.window = static_cast<xcb_window_t>(window);
	event.type = x_->wm_protocols;
	event.format = 32;
	event.data.data32[0] = x_->wm_delete_window;
	event.data.data32[1] = XCB_CURRENT_TIME;
	// Waits for the server to have taken the request, not just flushed it: the server drops what it
	// has not yet read of a client whose connection closed, and this one may close right after.
	// A window that is gone by then answers with an error, which is no concern of ours.
	std::free(xcb_request_check(x_->connection, xcb_send_event_checked(x_->connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
	                                                                    reinterpret_cast<const char*>(&event))));
}

} // namespace tarnwick::testing
