#include "core/window.hpp"

#include "core/string.hpp"

#include <bw/string.h>

namespace bw {

WindowImpl WindowImpl::new_(ApplicationImpl app, WindowImpl parent, std::string_view title, std::optional<uint32_t> width,
                            std::optional<uint32_t> height, const bw_WindowOptions& options) {
	return WindowImpl(bw_Window_new(app.inner(), parent.inner(), to_cstr_slice(title), window_size_argument(width), window_size_argument(height),
	                                &options));
}

std::string WindowImpl::title() const {
	char* text = nullptr;
	size_t length = bw_Window_getTitle(inner_, &text);
	if (length == 0) return std::string();
	// Copied before the lower layer's text is released.
	std::string title(text, length);
	bw_string_freeCstr(text);
	return title;
}

void WindowImpl::set_title(std::string_view title) const { bw_Window_setTitle(inner_, to_cstr_slice(title)); }

} // namespace bw
