// Shell_NotifyIconW with NOTIFYICON_VERSION_4 on a hidden top-level window of its own (a message-only
// window would not hear the shell's TaskbarCreated broadcast, after which the icon is added again).
// The icon is known by window and id; the tooltip carries NIF_SHOWTIP, which version 4 needs. A left
// click or Space/Enter (NIN_SELECT, NIN_KEYSELECT) activates; WM_CONTEXTMENU opens the menu at the
// anchor the shell gives, after SetForegroundWindow so that a click elsewhere closes it. Every call
// goes through one NOTIFYICONDATAW made by `data`; a balloon is one more NIM_MODIFY with NIF_INFO
// (an empty text takes it away), and its click, time-out or hiding comes as the icon's message.
#include "status_icon/status_icon.hpp"

#include "core/win32/wide_text.hpp"

#include <windows.h>

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <string>

namespace bw {

namespace {

constexpr UINT icon_message = WM_APP + 1;
constexpr UINT icon_id = 1;
constexpr const wchar_t* window_class = L"bw-status-icon";

class Win32StatusIcon final : public StatusIcon {
public:
	explicit Win32StatusIcon(StatusIconOptions options) : options_(std::move(options)) {
		HINSTANCE instance = GetModuleHandleW(nullptr);
		WNDCLASSEXW kind{};
		kind.cbSize = sizeof kind;
		kind.lpfnWndProc = procedure;
		kind.hInstance = instance;
		kind.lpszClassName = window_class;
		RegisterClassExW(&kind);
		taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
		window_ = CreateWindowExW(WS_EX_TOOLWINDOW, window_class, bw::win32::wide_text(options_.title).c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
		icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(options_.icon_resource), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
		                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
		add();
	}

	~Win32StatusIcon() override {
		if (shown_) {
			NOTIFYICONDATAW removed = data(0);
			Shell_NotifyIconW(NIM_DELETE, &removed);
		}
		if (window_ != nullptr) {
			SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
			DestroyWindow(window_);
		}
		if (icon_ != nullptr) DestroyIcon(icon_);
	}

	bool shown() const override { return shown_; }

	void set_tooltip(const std::string& text) override {
		options_.tooltip = text;
		if (!shown_) return;
		NOTIFYICONDATAW changed = data(NIF_TIP | NIF_SHOWTIP);
		Shell_NotifyIconW(NIM_MODIFY, &changed);
	}

	// The tooltip says it in words; the taskbar has no attention state for icons.
	void set_attention(bool) override {}

	void set_checked(std::size_t item, bool checked) override {
		if (item < options_.menu.size()) options_.menu[item].checked = checked;
	}

	bool show_balloon(StatusIconBalloon balloon) override {
		if (!shown_) return false;
		NOTIFYICONDATAW shown = data(NIF_INFO);
		copy_cut(shown.szInfoTitle, bw::win32::wide_text(balloon.title.empty() ? options_.title : balloon.title));
		// An empty text would take the balloon away.
		copy_cut(shown.szInfo, bw::win32::wide_text(balloon.body.empty() ? std::string(" ") : balloon.body));
		shown.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | (balloon.silent ? NIIF_NOSOUND : 0);
		shown.hBalloonIcon = icon_;
		balloon_.reset();
		if (Shell_NotifyIconW(NIM_MODIFY, &shown) == FALSE) return false;
		balloon_ = std::move(balloon);
		return true;
	}

	void hide_balloon() override {
		if (!balloon_) return;
		balloon_.reset();
		NOTIFYICONDATAW hidden = data(NIF_INFO);
		Shell_NotifyIconW(NIM_MODIFY, &hidden);
	}

private:
	template <std::size_t N>
	static void copy_cut(wchar_t (&target)[N], const std::wstring& text) {
		std::size_t length = std::min(text.size(), N - 1);
		text.copy(target, length);
		target[length] = L'\0';
	}

	// The balloon's end: its callback runs after it is forgotten, so it may show the next one.
	void balloon_ended(bool clicked) {
		if (!balloon_) return;
		StatusIconBalloon ended = std::move(*balloon_);
		balloon_.reset();
		std::function<void()>& then = clicked ? ended.on_click : ended.on_gone;
		if (then) then();
	}

	NOTIFYICONDATAW data(UINT flags) const {
		NOTIFYICONDATAW icon{};
		icon.cbSize = sizeof icon;
		icon.hWnd = window_;
		icon.uID = icon_id;
		icon.uFlags = flags;
		icon.uCallbackMessage = icon_message;
		icon.hIcon = icon_;
		copy_cut(icon.szTip, bw::win32::wide_text(options_.tooltip));
		icon.uVersion = NOTIFYICON_VERSION_4;
		return icon;
	}

	// Added (again, after the shell restarted) with the version set, which the shell does not keep.
	// A shell that still has it refuses the addition and takes it as a change.
	void add() {
		if (window_ == nullptr) return;
		NOTIFYICONDATAW added = data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
		bool now = Shell_NotifyIconW(NIM_ADD, &added) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &added) != FALSE;
		if (now) Shell_NotifyIconW(NIM_SETVERSION, &added);
		// A balloon goes with the icon it was on.
		if (!now) balloon_ended(false);
		if (now == shown_) return;
		shown_ = now;
		if (options_.on_shown) options_.on_shown(now);
	}

	void open_menu(int x, int y) {
		if (options_.before_menu) options_.before_menu();
		HMENU menu = CreatePopupMenu();
		for (std::size_t i = 0; i < options_.menu.size(); i++) {
			const StatusIconMenuItem& item = options_.menu[i];
			if (item.kind == StatusIconMenuItem::Kind::Separator) {
				AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
				continue;
			}
			UINT flags = MF_STRING | (item.kind == StatusIconMenuItem::Kind::Check && item.checked ? MF_CHECKED : MF_UNCHECKED);
			AppendMenuW(menu, flags, i + 1, bw::win32::wide_text(item.label).c_str());
			if (item.is_default) SetMenuDefaultItem(menu, static_cast<UINT>(i + 1), FALSE);
		}
		SetForegroundWindow(window_);
		UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
		auto chosen = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY | align | TPM_BOTTOMALIGN, x, y, window_, nullptr));
		PostMessageW(window_, WM_NULL, 0, 0);
		DestroyMenu(menu);
		if (chosen == 0) {
			NOTIFYICONDATAW focused = data(0);
			Shell_NotifyIconW(NIM_SETFOCUS, &focused);
			return;
		}
		if (chosen <= options_.menu.size() && options_.menu[chosen - 1].on_click) options_.menu[chosen - 1].on_click();
	}

	static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
		if (message == WM_NCCREATE) {
			auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
			SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
			return DefWindowProcW(window, message, wparam, lparam);
		}
		auto* self = reinterpret_cast<Win32StatusIcon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
		if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
		if (message == self->taskbar_created_) {
			self->add();
			return 0;
		}
		if (message != icon_message) return DefWindowProcW(window, message, wparam, lparam);
		// Version 4: the event in the low word of lParam, the anchor in wParam.
		switch (LOWORD(lparam)) {
		case NIN_SELECT:
		case NIN_KEYSELECT:
			if (self->options_.on_activate) self->options_.on_activate();
			break;
		case WM_CONTEXTMENU: self->open_menu(GET_X_LPARAM(wparam), GET_Y_LPARAM(wparam)); break;
		case NIN_BALLOONUSERCLICK: self->balloon_ended(true); break;
		case NIN_BALLOONTIMEOUT:
		case NIN_BALLOONHIDE: self->balloon_ended(false); break;
		default: break;
		}
		return 0;
	}

	StatusIconOptions options_;
	HWND window_ = nullptr;
	HICON icon_ = nullptr;
	UINT taskbar_created_ = 0;
	bool shown_ = false;
	std::optional<StatusIconBalloon> balloon_;
};

} // namespace

std::unique_ptr<StatusIcon> StatusIcon::create(ApplicationHandle, StatusIconOptions options) {
	return std::make_unique<Win32StatusIcon>(std::move(options));
}

} // namespace bw
