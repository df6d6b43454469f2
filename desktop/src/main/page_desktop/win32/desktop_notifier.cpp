// The desktop's notifications on Windows: the balloon (NIF_INFO) of a notify icon with the program's
// icon, which exists only while a notification is shown. One at a time: a newer notification takes
// the balloon, and the one it replaces is reported closed. The icon's window hears the balloon's
// click (NIN_BALLOONUSERCLICK), its time-out and its dismissal.
#include "page_desktop/desktop_notifier.hpp"

#include "core/win32/wide_text.hpp"

#include "launcher_log.hpp"

#include <bw/window_win32.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <string>

namespace tarnwick {

namespace {

constexpr UINT icon_message = WM_APP + 1;
constexpr UINT icon_id = 1;
constexpr const wchar_t* icon_window_class = L"TarnwickNotificationIcon";

template <size_t N>
void copy_cut(wchar_t (&target)[N], const std::wstring& text) {
	size_t length = std::min(text.size(), N - 1);
	text.copy(target, length);
	target[length] = L'\0';
}

class BalloonNotifier final : public DesktopNotifier {
public:
	explicit BalloonNotifier(BringBack bring_back) : bring_back_(std::move(bring_back)) {}
	~BalloonNotifier() override {
		remove_icon();
		if (window_ != nullptr) DestroyWindow(window_);
	}

	bool available(std::string& why) override {
		if (window_ != nullptr) return true;
		WNDCLASSEXW window_class{};
		window_class.cbSize = sizeof window_class;
		window_class.lpfnWndProc = on_message;
		window_class.hInstance = GetModuleHandleW(nullptr);
		window_class.lpszClassName = icon_window_class;
		RegisterClassExW(&window_class);
		// A top-level window that is never shown: the shell posts the icon's messages to it.
		window_ = CreateWindowExW(0, icon_window_class, L"Tarnwick notifications", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
		if (window_ == nullptr) {
			why = "no window for the notification icon (error " + std::to_string(GetLastError()) + ")";
			return false;
		}
		SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
		return true;
	}

	void show(const bw::WindowHandle& window, std::shared_ptr<bw::PageNotification> notification) override {
		if (window_ == nullptr) return;
		// The balloon shown so far goes.
		if (current_) end(false);
		const bw::NotificationContent& content = notification->content();
		NOTIFYICONDATAW data = icon_data();
		data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
		data.uCallbackMessage = icon_message;
		data.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
		copy_cut(data.szTip, L"Tarnwick");
		copy_cut(data.szInfoTitle, bw::win32::wide_text(content.title));
		copy_cut(data.szInfo, bw::win32::wide_text(content.body.empty() ? std::string(" ") : content.body));
		data.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | (content.silent ? NIIF_NOSOUND : 0);
		if (!Shell_NotifyIconW(NIM_ADD, &data) && !Shell_NotifyIconW(NIM_MODIFY, &data)) {
			launcher_log::write("the shell did not show a notification (no notification area)");
			return;
		}
		data.uVersion = NOTIFYICON_VERSION_4;
		Shell_NotifyIconW(NIM_SETVERSION, &data);
		current_ = Current{window, notification};
		notification->on_page_closed([this, shown = std::weak_ptr<bw::PageNotification>(notification)] {
			if (current_ && current_->page == shown.lock()) {
				current_.reset();
				remove_icon();
			}
		});
		notification->shown();
	}

private:
	struct Current {
		bw::WindowHandle window;
		std::shared_ptr<bw::PageNotification> page;
	};

	NOTIFYICONDATAW icon_data() const {
		NOTIFYICONDATAW data{};
		data.cbSize = sizeof data;
		data.hWnd = window_;
		data.uID = icon_id;
		return data;
	}

	void remove_icon() {
		if (window_ == nullptr) return;
		NOTIFYICONDATAW data = icon_data();
		Shell_NotifyIconW(NIM_DELETE, &data);
	}

	// The balloon went, clicked or not: the icon goes with it.
	void end(bool clicked) {
		Current ending = std::move(*current_);
		current_.reset();
		remove_icon();
		if (clicked && !ending.page->page_closed()) {
			bring_back_(ending.window, {});
			ending.page->clicked();
		}
		ending.page->closed();
	}

	static LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
		auto* self = reinterpret_cast<BalloonNotifier*>(GetWindowLongPtrW(window, GWLP_USERDATA));
		// NOTIFYICON_VERSION_4: the event in the low word, the icon's id in the high word.
		if (self == nullptr || message != icon_message || HIWORD(lparam) != icon_id || !self->current_) return DefWindowProcW(window, message, wparam, lparam);
		switch (LOWORD(lparam)) {
		case NIN_BALLOONUSERCLICK: self->end(true); break;
		case NIN_BALLOONTIMEOUT: self->end(false); break;
		default: break;
		}
		return 0;
	}

	BringBack bring_back_;
	HWND window_ = nullptr;
	std::optional<Current> current_;
};

} // namespace

std::unique_ptr<DesktopNotifier> DesktopNotifier::create(BringBack bring_back) { return std::make_unique<BalloonNotifier>(std::move(bring_back)); }

bool out_of_sight(const bw::WindowHandle& window) {
	HWND native = bw_WindowWin32_getHandle(window.impl().inner());
	return !IsWindowVisible(native) || IsIconic(native);
}

void bring_back_window(const bw::WindowHandle& window, const std::string&) {
	HWND native = bw_WindowWin32_getHandle(window.impl().inner());
	window.show();
	if (IsIconic(native)) ShowWindow(native, SW_RESTORE);
	SetForegroundWindow(native);
}

} // namespace tarnwick
