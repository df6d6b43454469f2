// What each platform provides to the dialogs: the message box, the file dialogs, the profile folder.
#pragma once

#include "dialog_impl/requests.hpp"
#include "error.hpp"
#include "message.hpp"
#include "window_handle.hpp"

#include <filesystem>
#include <optional>
#include <string_view>

namespace bw::dialogs::impl {

// Shows a modal box and blocks until it is closed. With ask, Yes and No buttons and true for Yes;
// otherwise one OK button and the answer is meaningless.
Result<bool> message_box(const std::optional<RawWindowHandle>& owner, std::string_view title, std::string_view text,
                         MessageType type, bool ask);

// Each shows a dialog configured from the parameters and blocks until it is closed.
ShellResult<OpenDialogResult> open_dialog(const DialogParams& params);
ShellResult<SaveDialogResult> save_dialog(const DialogParams& params);

// The user's profile (home) folder, if the system knows one.
std::optional<std::filesystem::path> profile_folder();

} // namespace bw::dialogs::impl
