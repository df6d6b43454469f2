#include "desktop/icon_pixmaps.hpp"

#include "tarnwick_icon_pngs.hpp"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace tarnwick {

std::vector<bw::StatusIconPixmap> icon_pixmaps() {
	std::vector<bw::StatusIconPixmap> pixmaps;
	for (std::span<const unsigned char> png : tarnwick_icon_pngs) {
		GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
		if (loader == nullptr) break;
		bool loaded = gdk_pixbuf_loader_write(loader, png.data(), png.size(), nullptr) && gdk_pixbuf_loader_close(loader, nullptr);
		GdkPixbuf* pixbuf = loaded ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
		if (pixbuf != nullptr && gdk_pixbuf_get_n_channels(pixbuf) == 4 && gdk_pixbuf_get_bits_per_sample(pixbuf) == 8) {
			bw::StatusIconPixmap pixmap{gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf), {}};
			const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
			int stride = gdk_pixbuf_get_rowstride(pixbuf);
			// R, G, B, A rows with a stride, to A, R, G, B in order.
			for (int y = 0; y < pixmap.height; y++)
				for (int x = 0; x < pixmap.width; x++) {
					const guchar* p = pixels + y * stride + x * 4;
					pixmap.argb.insert(pixmap.argb.end(), {p[3], p[0], p[1], p[2]});
				}
			pixmaps.push_back(std::move(pixmap));
		}
		g_object_unref(loader);
	}
	return pixmaps;
}

} // namespace tarnwick
