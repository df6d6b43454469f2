#include "window_state.hpp"

#include "private_files.hpp"

#include "core/browser_window/zoom_steps.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tarnwick {

namespace {

constexpr int max_extent = 32768;

std::optional<int> parse_int(std::string_view text) {
	int value = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
	if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
	return value;
}

std::optional<double> parse_double(std::string_view text) {
	double value = 0;
	auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
	if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
	return value;
}

} // namespace

WindowState fitted_to(WindowState state, const WorkArea& work) {
	if (work.width <= 0 || work.height <= 0) return state;
	if (state.width > work.width || state.height > work.height) {
		state.width = std::min(WindowState{}.width, work.width);
		state.height = std::min(WindowState{}.height, work.height);
	}
	if (state.x && state.y) {
		state.x = std::clamp(*state.x, work.x, work.x + work.width - state.width);
		state.y = std::clamp(*state.y, work.y, work.y + work.height - state.height);
	}
	return state;
}

double clamped_zoom(double factor) {
	return std::isfinite(factor) ? bw::clamp_zoom(factor) : 1.0;
}

std::optional<WindowState> parse_window_state(std::string_view text) {
	WindowState state;
	bool has_width = false, has_height = false;
	while (!text.empty()) {
		auto end = text.find('\n');
		std::string_view line = text.substr(0, end);
		text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
		if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
		if (line.empty()) continue;
		auto equals = line.find('=');
		if (equals == std::string_view::npos) return std::nullopt;
		std::string_view key = line.substr(0, equals);
		if (key == "zoom") {
			state.zoom = clamped_zoom(parse_double(line.substr(equals + 1)).value_or(1.0));
			continue;
		}
		auto value = parse_int(line.substr(equals + 1));
		if (!value) return std::nullopt;
		if (key == "width" && *value > 0 && *value <= max_extent) {
			state.width = *value;
			has_width = true;
		} else if (key == "height" && *value > 0 && *value <= max_extent) {
			state.height = *value;
			has_height = true;
		} else if (key == "x" && *value > -max_extent && *value < max_extent) {
			state.x = *value;
		} else if (key == "y" && *value > -max_extent && *value < max_extent) {
			state.y = *value;
		} else if (key == "maximized" && (*value == 0 || *value == 1)) {
			state.maximized = *value == 1;
		} else {
			return std::nullopt;
		}
	}
	// A position is whole or absent.
	if (!has_width || !has_height || state.x.has_value() != state.y.has_value()) return std::nullopt;
	return state;
}

std::string format_window_state(const WindowState& state) {
	std::string text = "width=" + std::to_string(state.width) + "\nheight=" + std::to_string(state.height) + "\n";
	if (state.x && state.y) text += "x=" + std::to_string(*state.x) + "\ny=" + std::to_string(*state.y) + "\n";
	text += "maximized=" + std::string(state.maximized ? "1" : "0") + "\n";
	// to_chars and from_chars ignore the locale, which may write decimal commas.
	char zoom[32];
	auto written = std::to_chars(zoom, zoom + sizeof zoom, clamped_zoom(state.zoom), std::chars_format::general, 4);
	text += "zoom=" + std::string(zoom, written.ptr) + "\n";
	return text;
}

WindowState load_window_state(const std::filesystem::path& file) {
	std::error_code error;
	if (!std::filesystem::exists(file, error)) return WindowState{};
	std::ifstream stream(file, std::ios::binary);
	std::string text(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>{});
	if (!stream.is_open() || stream.bad()) {
		std::fprintf(stderr, "tarnwick_desktop: cannot read the window state %s; using the defaults\n", file.string().c_str());
		return WindowState{};
	}
	auto state = parse_window_state(text);
	if (!state) {
		std::fprintf(stderr, "tarnwick_desktop: the window state %s is corrupt; using the defaults\n", file.string().c_str());
		return WindowState{};
	}
	return *state;
}

bool save_window_state(const std::filesystem::path& file, const WindowState& state) {
	std::error_code error;
	std::filesystem::path temporary = file;
	temporary += ".new";
	if (!private_files::make_folder(file.parent_path()) || !private_files::make_file(temporary)) return false;
	{
		std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
		stream << format_window_state(state);
		stream.flush();
		if (!stream) {
			stream.close();
			std::filesystem::remove(temporary, error);
			return false;
		}
	}
	std::filesystem::rename(temporary, file, error);
	if (!error) return true;
	std::filesystem::remove(temporary, error);
	return false;
}

} // namespace tarnwick
