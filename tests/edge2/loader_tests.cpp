// Finding the engine: a copy of this program runs from a folder with a WebView2Loader.dll that lacks
// the entry point and must stop with a text naming what is missing. And where the engine keeps its
// user data.
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/edge2/user_data_folder.hpp"
#include "edge2/program_copy.hpp"
#include "support/test_application.hpp"

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <gtest/gtest.h>

namespace bw::edge2_test {
namespace {

namespace fs = std::filesystem;

// Only in the copy: builds a window, which must stop the process.
TEST(LoaderChild, BuildsAWindow) {
	if (!is_child()) GTEST_SKIP() << "runs in the copies the loader tests start";
	SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", L"1");
	testing::TestApplication app;
	app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = BrowserWindowBuilder::build_async(BrowserWindowBuilder(Source::Url{"https://example.test/"}), app);
		co_await std::move(pending);
	});
	ADD_FAILURE() << "the window was built";
}

TEST(Loader, WithoutItsEntryPointCreationStopsNamingIt) {
	if (is_child()) GTEST_SKIP();
	fs::path folder = folder_with_copy(L"no-export");
	fs::copy_file(this_program().parent_path() / L"edge2_loader_without_export.dll", folder / L"WebView2Loader.dll");
	ChildRun run = run_child(folder, L"LoaderChild.*");
	EXPECT_EQ(run.exit_code, 101u) << run.output;
	// 2147942527: HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND).
	EXPECT_NE(run.output.find("WebView2Loader.dll has no export CreateCoreWebView2EnvironmentWithOptions: Error(cbw_Err { code: 2147942527, "),
	          std::string::npos)
	    << run.output;
	remove_folder(folder);
}

TEST(UserDataFolder, BesideTheProgramUnlessItsFolderCannotBeWritten) {
	if (is_child()) GTEST_SKIP();
	fs::path writable = folder_with_copy(L"writable");
	EXPECT_EQ(edge2::user_data_folder_for((writable / L"Tarnwick.exe").wstring()), std::nullopt);
	// Only the copy is left: the probe leaves nothing behind.
	EXPECT_EQ(std::distance(fs::directory_iterator(writable), fs::directory_iterator()), 1);
	fs::remove_all(writable);

	PWSTR local = nullptr;
	ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local), S_OK);
	fs::path expected = fs::path(local) / L"Edge2 Test Program";
	CoTaskMemFree(local);
	fs::remove_all(expected);
	std::optional<std::wstring> folder = edge2::user_data_folder_for(L"C:\\no-such-folder-edge2\\Edge2 Test Program.exe");
	EXPECT_EQ(folder, std::optional<std::wstring>(expected.wstring()));
	EXPECT_TRUE(fs::is_directory(expected));
	fs::remove_all(expected);
}

} // namespace
} // namespace bw::edge2_test
