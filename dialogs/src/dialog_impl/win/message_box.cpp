#include "dialog_impl/platform.hpp"
#include "dialog_impl/win/owner_window.hpp"
#include "dialog_impl/win/win32_text.hpp"

namespace bw::dialogs::impl {

namespace {

UINT icon_style(MessageType type) {
	switch (type) {
	case MessageType::Warning: return MB_ICONWARNING;
	case MessageType::Error: return MB_ICONERROR;
	case MessageType::Info: break;
	}
	return MB_ICONINFORMATION;
}

} // namespace

Result<bool> message_box(const std::optional<RawWindowHandle>& owner, std::string_view title, std::string_view text,
                         MessageType type, bool ask) {
	std::wstring wide_text = widen(text);
	std::wstring wide_title = widen(title);
	UINT style = icon_style(type) | (ask ? MB_YESNO : MB_OK);
	int result = MessageBoxW(owner_hwnd(owner), wide_text.c_str(), wide_title.c_str(), style);
	// Failure is 0 on Windows; Wine answers -1 (for example for an invalid owner).
	if (result <= 0) return Error(Error::IoFailure{os_error(GetLastError())});
	return result == IDYES;
}

} // namespace bw::dialogs::impl
