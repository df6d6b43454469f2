// Message boxes under Win32, found and answered from a second thread.
#include "message.hpp"
#include "win32/box_answerer.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace bw::dialogs {
namespace {

using testing::BoxAnswerer;
using testing::press;

// What the user sees on a box.
struct BoxView {
	std::wstring text;
	HICON icon = nullptr;
	std::vector<int> buttons;
	HWND owner = nullptr;
};

BoxView look_at(HWND box) {
	BoxView view{L"", nullptr, {}, GetWindow(box, GW_OWNER)};
	EnumChildWindows(
	    box,
	    [](HWND control, LPARAM data) {
		    auto* view = reinterpret_cast<BoxView*>(data);
		    wchar_t class_name[16] = {};
		    GetClassNameW(control, class_name, 16);
		    LONG style = GetWindowLongW(control, GWL_STYLE);
		    if (std::wstring(class_name) == L"Button" && (style & WS_VISIBLE))
			    view->buttons.push_back(GetDlgCtrlID(control));
		    else if (std::wstring(class_name) == L"Static" && (style & SS_TYPEMASK) == SS_ICON)
			    view->icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
		    else if (std::wstring(class_name) == L"Static")
			    view->text = testing::window_text(control);
		    return TRUE;
	    },
	    reinterpret_cast<LPARAM>(&view));
	return view;
}

// Shows the dialog with show, answers it with the button and returns what the box looked like.
template <class Show>
BoxView answered_with(const wchar_t* title, int button, Show show) {
	BoxView seen;
	BoxAnswerer answerer(title, [&](HWND box) {
		seen = look_at(box);
		press(box, button);
	});
	show();
	answerer.join();
	EXPECT_TRUE(answerer.found()) << "the box did not show";
	return seen;
}

TEST(Win32MessageBox, AlertsShowTheirTypesIconTextUpToAZeroAndOneOkButton) {
	BoxView plain = answered_with(L"", IDOK, [] { EXPECT_TRUE(MessageDialog::create().show_alert().ok()); });
	EXPECT_EQ(plain.text, L"");
	EXPECT_EQ(plain.icon, LoadIconW(nullptr, IDI_INFORMATION));
	EXPECT_EQ(plain.buttons, std::vector<int>{IDOK});
	EXPECT_EQ(plain.owner, nullptr);

	using namespace std::string_view_literals;
	BoxView error = answered_with(L"Tarnwick \u2013 Fehler", IDOK, [] {
		auto dialog = MessageDialog::create().set_title("Tarnwick \xe2\x80\x93 Fehler").set_text("Kein Dienst.\0hidden"sv);
		EXPECT_TRUE(dialog.set_type(MessageType::Error).show_alert().ok());
	});
	EXPECT_EQ(error.text, L"Kein Dienst.");
	EXPECT_EQ(error.icon, LoadIconW(nullptr, IDI_ERROR));
	EXPECT_EQ(error.buttons, std::vector<int>{IDOK});
}

TEST(Win32MessageBox, ConfirmIsTrueOnlyForYes) {
	// IDCANCEL is what closing the box from its title bar or with Escape gives.
	for (auto [button, yes] : {std::pair{IDYES, true}, std::pair{IDNO, false}, std::pair{IDCANCEL, false}}) {
		std::optional<Result<bool>> answer;
		BoxView seen = answered_with(L"Go on?", button, [&] {
			answer = MessageDialog::create().set_title("Go on?").set_type(MessageType::Warning).show_confirm();
		});
		ASSERT_TRUE(answer && answer->ok());
		EXPECT_EQ(answer->value(), yes) << "button " << button;
		EXPECT_EQ(seen.icon, LoadIconW(nullptr, IDI_WARNING));
		EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
	}
}

TEST(Win32MessageBox, OnlyAWin32OwnerCountsAndARefusedBoxIsAnIoFailure) {
	HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
	for (auto [handle, expected] : {std::pair{RawWindowHandle(Win32WindowHandle{owner}), owner},
	                                std::pair{RawWindowHandle(GtkWindowHandle{owner}), HWND(nullptr)}}) {
		BoxView seen = answered_with(L"Owned", IDOK, [&] {
			EXPECT_TRUE(MessageDialog::create().set_title("Owned").set_owner_handle(handle).show_alert().ok());
		});
		EXPECT_EQ(seen.owner, expected);
	}
	DestroyWindow(owner);

	Result<bool> refused = MessageDialog::create().set_owner_handle(Win32WindowHandle{reinterpret_cast<void*>(0x7654321)}).show_confirm();
	ASSERT_FALSE(refused.ok());
	const auto* io = refused.error().get_if<Error::IoFailure>();
	ASSERT_NE(io, nullptr) << refused.error().debug_string();
	EXPECT_EQ(io->error.code, 1400); // ERROR_INVALID_WINDOW_HANDLE
	EXPECT_EQ(refused.error().to_string(), "system error or I/O failure");
	EXPECT_EQ(refused.error().debug_string().rfind("IoFailure(Os { code: 1400, message: \"", 0), 0u);
	EXPECT_NE(refused.error().cause().value_or("").find("(os error 1400)"), std::string::npos);
}

} // namespace
} // namespace bw::dialogs
