// FileDialog: choosing one or several existing files, a folder, or a file name to save to.
#pragma once

#include "error.hpp"
#include "window_handle.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bw::dialogs {

// A file-type choice: its description and its extensions, without the dot.
struct Filter {
	std::string description;
	std::vector<std::string> extensions;
};

enum class RequestKind { OpenSingleFile, OpenMultipleFile, OpenSingleDir, SaveSingleFile };

// What a show operation asks the platform for.
struct FileRequest {
	RequestKind kind;
	std::optional<RawWindowHandle> owner;
	std::string title;
	std::vector<Filter> filters;
	std::optional<std::string> filename;
	std::optional<std::filesystem::path> location;
};

// A value-type builder like MessageDialog; it keeps copies of its texts and path.
class FileDialog {
public:
	// No title, file name, folder, owner or filters.
	static FileDialog create() { return FileDialog(); }

	[[nodiscard]] FileDialog set_title(std::string_view title) const;
	[[nodiscard]] FileDialog set_filename(std::string_view filename) const;
	[[nodiscard]] FileDialog reset_filename() const;
	[[nodiscard]] FileDialog set_location(const std::filesystem::path& location) const;
	[[nodiscard]] FileDialog reset_location() const;
	// An empty extension list is a fatal stop.
	[[nodiscard]] FileDialog add_filter(std::string_view description, std::vector<std::string> extensions) const;
	[[nodiscard]] FileDialog remove_all_filters() const;
	[[nodiscard]] FileDialog set_owner_handle(RawWindowHandle owner) const;
	[[nodiscard]] FileDialog reset_owner() const;

	// Each blocks until the dialog is closed. Cancelling gives no path (an empty list), not an error.
	Result<std::optional<std::filesystem::path>> show_open_single_file() const;
	Result<std::vector<std::filesystem::path>> show_open_multiple_file() const;
	Result<std::optional<std::filesystem::path>> show_open_single_dir() const;
	Result<std::optional<std::filesystem::path>> show_save_single_file() const;

	// The request a show operation of that kind makes: the title defaults by kind, and a folder
	// request carries no filters.
	FileRequest request(RequestKind kind) const;

private:
	FileDialog() = default;

	std::optional<std::string> filename_;
	std::optional<std::filesystem::path> location_;
	std::vector<Filter> filters_;
	std::optional<RawWindowHandle> owner_;
	std::optional<std::string> title_;
};

} // namespace bw::dialogs
