#include "message.hpp"

#include "dialog_impl/platform.hpp"

namespace bw::dialogs {

MessageDialog MessageDialog::set_title(std::string_view title) const {
	MessageDialog dialog = *this;
	dialog.title_ = title;
	return dialog;
}

MessageDialog MessageDialog::set_text(std::string_view text) const {
	MessageDialog dialog = *this;
	dialog.text_ = text;
	return dialog;
}

MessageDialog MessageDialog::set_type(MessageType type) const {
	MessageDialog dialog = *this;
	dialog.type_ = type;
	return dialog;
}

MessageDialog MessageDialog::set_owner_handle(RawWindowHandle owner) const {
	MessageDialog dialog = *this;
	dialog.owner_ = owner;
	return dialog;
}

MessageDialog MessageDialog::reset_owner() const {
	MessageDialog dialog = *this;
	dialog.owner_.reset();
	return dialog;
}

Result<std::monostate> MessageDialog::show_alert() const {
	Result<bool> shown = impl::message_box(owner_, title_, text_, type_, false);
	if (!shown.ok()) return std::move(shown.error());
	return std::monostate{};
}

Result<bool> MessageDialog::show_confirm() const { return impl::message_box(owner_, title_, text_, type_, true); }

} // namespace bw::dialogs
