// The public handle to a native window. Closing goes through the browser window, freeing through
// its owner, so the handle offers neither.
#pragma once

#include "core/window.hpp"

namespace bw {

class WindowHandle {
public:
	WindowHandle() = default;
	explicit WindowHandle(WindowImpl impl) : impl_(impl) {}

	bw_Dims2D content_dimensions() const { return impl_.content_dimensions(); }
	uint8_t opacity() const { return impl_.opacity(); }
	bw_Pos2D position() const { return impl_.position(); }
	std::string title() const { return impl_.title(); }
	bw_Dims2D window_dimensions() const { return impl_.window_dimensions(); }
	void hide() const { impl_.hide(); }
	void set_content_dimensions(bw_Dims2D dimensions) const { impl_.set_content_dimensions(dimensions); }
	void set_opacity(uint8_t opacity) const { impl_.set_opacity(opacity); }
	void set_position(bw_Pos2D position) const { impl_.set_position(position); }
	void set_title(std::string_view title) const { impl_.set_title(title); }
	void set_window_dimensions(bw_Dims2D dimensions) const { impl_.set_window_dimensions(dimensions); }
	void show() const { impl_.show(); }

	WindowImpl impl() const { return impl_; }

private:
	WindowImpl impl_;
};

} // namespace bw
