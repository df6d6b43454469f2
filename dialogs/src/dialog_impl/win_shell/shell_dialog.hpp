// The shell's file dialogs (IFileOpenDialog, IFileSaveDialog) driven from DialogParams.
#pragma once

#include "dialog_impl/requests.hpp"

#include <windows.h>

#include <shobjidl.h>

#include <filesystem>
#include <optional>

namespace bw::dialogs::impl::shell {

// Applies every set parameter in a fixed order; the first failing call ends it, named in the error.
std::optional<DialogError> configure_file_dialog(IFileDialog* dialog, const DialogParams& params);

// The item's file-system path.
ShellResult<std::filesystem::path> get_shell_item_display_name(IShellItem* item);

// The chosen file type, 1-based.
ShellResult<uint32_t> get_file_type_index(IFileDialog* dialog);

} // namespace bw::dialogs::impl::shell
