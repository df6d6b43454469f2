// MessageDialog: a modal message box with a title, a text and an icon, as an alert or a yes/no question.
#pragma once

#include "error.hpp"
#include "window_handle.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace bw::dialogs {

// Chooses the box's icon.
enum class MessageType { Info = 0, Warning = 1, Error = 2 };

// A value-type builder: each setter returns the changed dialog, so calls chain. The dialog keeps
// copies of its texts.
class MessageDialog {
public:
	// An untitled, empty information box without an owner.
	static MessageDialog create() { return MessageDialog(); }

	[[nodiscard]] MessageDialog set_title(std::string_view title) const;
	[[nodiscard]] MessageDialog set_text(std::string_view text) const;
	[[nodiscard]] MessageDialog set_type(MessageType type) const;
	[[nodiscard]] MessageDialog set_owner_handle(RawWindowHandle owner) const;
	[[nodiscard]] MessageDialog reset_owner() const;

	// Shows the box with one acknowledge button and blocks until it is closed.
	Result<std::monostate> show_alert() const;
	// Shows the box with Yes and No and blocks until it is closed: true only for Yes.
	Result<bool> show_confirm() const;

private:
	MessageDialog() = default;

	std::optional<RawWindowHandle> owner_;
	std::string title_;
	std::string text_;
	MessageType type_ = MessageType::Info;
};

} // namespace bw::dialogs
