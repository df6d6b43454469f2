// The shell's file dialogs: configured for real and read back, and shown and answered from a second
// thread through their controls (the ids of Wine's item dialog).
#include "dialog_impl/platform.hpp"
#include "dialog_impl/win_shell/shell_dialog.hpp"
#include "file.hpp"
#include "temp_folder.hpp"
#include "win32/box_answerer.hpp"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace bw::dialogs {

namespace testing {
// Ill-formed UTF-16: an unpaired surrogate.
std::filesystem::path invalid_unicode_path() { return std::filesystem::path(std::wstring(L"bad\xd800name")); }
} // namespace testing

namespace {

using testing::BoxAnswerer;
using testing::press;
namespace fs = std::filesystem;

constexpr int file_name_edit = 0x480;
constexpr int file_type_combo = 0x470;

FileDialog images_and_text() { return FileDialog::create().add_filter("Images", {"png", "jpg"}).add_filter("Text", {"txt"}); }

// Shows the dialog with show; a second thread finds it by title, notes the name box and the type
// list, then types the name and presses the button.
struct Answered {
	bool found;
	std::wstring name;
	std::vector<std::wstring> types;
};
template <class Show>
Answered answer(const wchar_t* title, const wchar_t* typed, int button, Show show) {
	Answered seen{false, L"", {}};
	BoxAnswerer answerer(title, [&](HWND box) {
		seen.name = testing::window_text(GetDlgItem(box, file_name_edit));
		HWND combo = GetDlgItem(box, file_type_combo);
		for (LRESULT i = 0; IsWindowVisible(combo) && i < SendMessageW(combo, CB_GETCOUNT, 0, 0); i++) {
			wchar_t text[256] = {};
			SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
			seen.types.push_back(text);
		}
		SendDlgItemMessageW(box, file_name_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed));
		press(box, button);
	});
	show();
	answerer.join();
	seen.found = answerer.found();
	return seen;
}

std::wstring folder_of(IFileDialog* dialog) {
	IShellItem* item = nullptr;
	if (FAILED(dialog->GetFolder(&item))) return L"";
	auto path = impl::shell::get_shell_item_display_name(item);
	item->Release();
	return std::holds_alternative<fs::path>(path) ? std::get<fs::path>(path).wstring() : L"";
}

TEST(Win32FileDialog, ConfiguredDialogsReadBackOptionsTypeIndexNameAndFolder) {
	testing::TempFolder temp;
	ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
	IFileDialog* save = nullptr;
	ASSERT_EQ(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_ALL, IID_IFileSaveDialog, reinterpret_cast<void**>(&save)), S_OK);
	FILEOPENDIALOGOPTIONS own = 0, options = 0;
	save->GetOptions(&own);
	FileRequest request = images_and_text().set_location(temp.path()).set_filename("report").request(RequestKind::SaveSingleFile);
	EXPECT_FALSE(impl::shell::configure_file_dialog(save, impl::save_params(request, impl::profile_folder)));
	save->GetOptions(&options);
	EXPECT_EQ(options, own | 0x8806);
	UINT index = 0;
	save->GetFileTypeIndex(&index);
	EXPECT_EQ(index, 1u);
	PWSTR name = nullptr;
	ASSERT_EQ(save->GetFileName(&name), S_OK);
	EXPECT_EQ(std::wstring(name), L"report");
	CoTaskMemFree(name);
	EXPECT_EQ(folder_of(save), temp.path().wstring());
	save->Release();

	// "~" is the profile folder.
	IFileDialog* open = nullptr;
	ASSERT_EQ(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog, reinterpret_cast<void**>(&open)), S_OK);
	request = FileDialog::create().set_location("~/Documents").request(RequestKind::OpenSingleFile);
	EXPECT_FALSE(impl::shell::configure_file_dialog(open, impl::open_params(request, impl::profile_folder)));
	EXPECT_EQ(folder_of(open), impl::profile_folder()->wstring() + L"\\Documents");
	open->Release();
	CoUninitialize();
}

TEST(Win32FileDialog, SaveShowsTitleNameAndTypesAndAddsTheDefaultExtension) {
	testing::TempFolder temp;
	Result<std::optional<fs::path>> saved{std::nullopt};
	Answered seen = answer(L"Export", L"picture", IDOK, [&] {
		saved = images_and_text().set_title("Export").set_location(temp.path()).set_filename("report").show_save_single_file();
	});
	ASSERT_TRUE(seen.found);
	ASSERT_TRUE(saved.ok()) << saved.error().debug_string();
	EXPECT_EQ(saved.value(), temp.path() / "picture.png");
	EXPECT_EQ(seen.name, L"report");
	ASSERT_EQ(seen.types.size(), 2u);
	EXPECT_EQ(seen.types[0].find(L"Images"), 0u);
	EXPECT_EQ(seen.types[1].find(L"Text"), 0u);
}

TEST(Win32FileDialog, OpenGivesTheChosenFilesOrFolderAndCancelGivesNothing) {
	testing::TempFolder temp;
	temp.create_file("a.txt");
	temp.create_file("b.txt");
	fs::create_directory(temp.path() / "sub");
	Result<std::vector<fs::path>> several{std::vector<fs::path>()};
	EXPECT_TRUE(answer(L"Open File", L"\"a.txt\" \"b.txt\"", IDOK, [&] {
		            several = images_and_text().set_location(temp.path()).show_open_multiple_file();
	            }).found);
	ASSERT_TRUE(several.ok()) << several.error().debug_string();
	EXPECT_EQ(several.value(), (std::vector<fs::path>{temp.path() / "a.txt", temp.path() / "b.txt"}));

	Result<std::optional<fs::path>> one{std::nullopt};
	Answered folder = answer(L"Open Folder", L"sub", IDOK, [&] { one = images_and_text().set_location(temp.path()).show_open_single_dir(); });
	ASSERT_TRUE(one.ok()) << one.error().debug_string();
	EXPECT_EQ(one.value(), temp.path() / "sub");
	EXPECT_TRUE(folder.types.empty());

	EXPECT_TRUE(answer(L"Open File", L"a.txt", IDCANCEL, [&] { one = FileDialog::create().show_open_single_file(); }).found);
	ASSERT_TRUE(one.ok());
	EXPECT_EQ(one.value(), std::nullopt);
	EXPECT_TRUE(answer(L"Open File", L"a.txt", IDCANCEL, [&] { several = FileDialog::create().show_open_multiple_file(); }).found);
	ASSERT_TRUE(several.ok());
	EXPECT_TRUE(several.value().empty());
}

// Failures before the dialog shows; they must leave the thread's COM use balanced, so that it can
// enter the multi-threaded apartment afterwards. (Once shown, Wine's dialog itself keeps the thread
// in its apartment.)
TEST(Win32FileDialog, FailuresNameTheFailedCallAndUninitialiseCom) {
	testing::TempFolder temp;
	std::thread([&] {
		auto missing = FileDialog::create().set_location(temp.path() / "missing").show_save_single_file();
		ASSERT_FALSE(missing.ok());
		EXPECT_EQ(missing.error().debug_string(), "ImplementationError(\"SHCreateItemFromParsingName\")");
		EXPECT_EQ(missing.error().to_string(), "the implementation reports error");
		EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);

		auto refused = FileDialog::create().show_open_single_file();
		ASSERT_FALSE(refused.ok());
		EXPECT_EQ(refused.error().debug_string(), "ImplementationError(\"CoInitializeEx\")");
		CoUninitialize();
	}).join();
}

} // namespace
} // namespace bw::dialogs
