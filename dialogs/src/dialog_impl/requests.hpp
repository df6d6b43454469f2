// The file dialogs' requests in the shell's terms: the parameters each platform shows a dialog with,
// and the outcomes it reports back.
#pragma once

#include "file.hpp"
#include "window_handle.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace bw::dialogs::impl {

// The shell's FOS_* option bits.
namespace options {
inline constexpr uint32_t overwrite_prompt = 0x2;
inline constexpr uint32_t strict_file_types = 0x4;
inline constexpr uint32_t pick_folders = 0x20;
inline constexpr uint32_t allow_multiselect = 0x200;
inline constexpr uint32_t path_must_exist = 0x800;
inline constexpr uint32_t file_must_exist = 0x1000;
inline constexpr uint32_t no_read_only_return = 0x8000;
} // namespace options

// One entry of the type list: its name and its pattern, e.g. "*.png;*.jpg".
struct FileType {
	std::string name;
	std::string spec;
	bool operator==(const FileType&) const = default;
};

// Texts are UTF-8. An empty text or list, a zero index and zero options leave the dialog's own
// setting in place.
struct DialogParams {
	std::string default_extension;
	std::string default_folder;
	std::string file_name;
	std::string file_name_label;
	uint32_t file_type_index = 1;
	std::vector<FileType> file_types{{"All types (*.*)", "*.*"}};
	std::string folder;
	std::string ok_button_label;
	uint32_t options = 0;
	std::optional<RawWindowHandle> owner;
	std::string save_as_item;
	std::string title;
};

struct OpenDialogResult {
	std::filesystem::path selected_file_path;
	std::vector<std::filesystem::path> selected_file_paths;
	uint32_t selected_file_type_index;
};

struct SaveDialogResult {
	std::filesystem::path selected_file_path;
	uint32_t selected_filter_index;
};

struct UserCancelled {};
struct UnsupportedFilepath {};
// A call that failed, by name, and its HRESULT.
struct HResultFailed {
	int32_t hresult;
	std::string error_method;
};
using DialogError = std::variant<UserCancelled, UnsupportedFilepath, HResultFailed>;

template <class T>
using ShellResult = std::variant<T, DialogError>;

using ProfileFolder = std::optional<std::filesystem::path> (*)();

// The location's text with a leading "~" replaced by the profile folder, components joined with the
// platform's separator; empty without a location, without a profile folder for "~", or when the
// path is not valid Unicode.
std::string initial_folder(const std::optional<std::filesystem::path>& location, ProfileFolder profile_folder);

// Each filter as (description, "*.ext1;*.ext2").
std::vector<FileType> file_types(const std::vector<Filter>& filters);

DialogParams open_params(const FileRequest& request, ProfileFolder profile_folder);
DialogParams save_params(const FileRequest& request, ProfileFolder profile_folder);

// The dialogs' error for a shell failure; nothing for a cancel, which is not an error.
std::optional<Error> to_error(const DialogError& error);

} // namespace bw::dialogs::impl
