// The upper layer's binding to the lower layer's native window record.
#pragma once

#include "core/application.hpp"

#include <bw/window.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// A copy of the record pointer; owns nothing. The default value (null) stands for no window.
class WindowImpl {
public:
	WindowImpl() = default;
	explicit WindowImpl(bw_Window* inner) : inner_(inner) {}

	// A new hidden window; an absent width or height is left to the system. GUI thread.
	static WindowImpl new_(ApplicationImpl app, WindowImpl parent, std::string_view title, std::optional<uint32_t> width,
	                       std::optional<uint32_t> height, const bw_WindowOptions& options);

	ApplicationImpl app() const { return ApplicationImpl(bw_Window_getApp(inner_)); }
	void close() const { bw_Window_close(inner_); }
	void free() const { bw_Window_free(inner_); }
	bw_Dims2D content_dimensions() const { return bw_Window_getContentDimensions(inner_); }
	uint8_t opacity() const { return bw_Window_getOpacity(inner_); }
	bw_Pos2D position() const { return bw_Window_getPosition(inner_); }
	std::string title() const;
	bw_Dims2D window_dimensions() const { return bw_Window_getWindowDimensions(inner_); }
	void hide() const { bw_Window_hide(inner_); }
	void set_content_dimensions(bw_Dims2D dimensions) const { bw_Window_setContentDimensions(inner_, dimensions); }
	void set_opacity(uint8_t opacity) const { bw_Window_setOpacity(inner_, opacity); }
	void set_position(bw_Pos2D position) const { bw_Window_setPosition(inner_, position); }
	void set_title(std::string_view title) const;
	// Replaces the pointer without releasing what was there.
	void set_user_data(void* user_data) const { bw_Window_setUserData(inner_, user_data); }
	void set_window_dimensions(bw_Dims2D dimensions) const { bw_Window_setWindowDimensions(inner_, dimensions); }
	void show() const { bw_Window_show(inner_); }

	bw_Window* inner() const { return inner_; }
	bool is_null() const { return inner_ == nullptr; }
	bool operator==(const WindowImpl&) const = default;

private:
	bw_Window* inner_ = nullptr;
};

// -1 tells the lower layer that a size was not given.
inline int window_size_argument(std::optional<uint32_t> size) { return size ? static_cast<int>(*size) : -1; }

} // namespace bw
