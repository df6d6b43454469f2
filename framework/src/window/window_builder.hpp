// The options of a native window, collected before it is made. Each setter changes the builder in
// place and returns it for chaining.
#pragma once

#include "core/window.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

class WindowBuilder {
public:
	WindowBuilder() = default;

	WindowBuilder& title(std::string_view text) {
		title_ = std::string(text);
		return *this;
	}
	WindowBuilder& width(uint32_t width) {
		width_ = width;
		return *this;
	}
	WindowBuilder& height(uint32_t height) {
		height_ = height;
		return *this;
	}
	WindowBuilder& size(uint32_t width, uint32_t height) {
		width_ = width;
		height_ = height;
		return *this;
	}
	WindowBuilder& borders(bool enabled) {
		borders_ = enabled;
		return *this;
	}
	WindowBuilder& minimizable(bool enabled) {
		minimizable_ = enabled;
		return *this;
	}
	// Kept for the options record; every window can be resized by the user.
	WindowBuilder& resizable(bool enabled) {
		resizable_ = enabled;
		return *this;
	}

	bw_WindowOptions options() const { return bw_WindowOptions{borders_, minimizable_, resizable_}; }

	std::optional<WindowImpl> parent_;
	std::optional<uint32_t> height_;
	std::optional<uint32_t> width_;
	std::optional<std::string> title_;
	bool borders_ = true;
	bool minimizable_ = true;
	bool resizable_ = true;
};

} // namespace bw
