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
#include <fstream>
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
	// 127: ERROR_PROC_NOT_FOUND.
	EXPECT_NE(run.output.find("WebView2Loader.dll has no export CreateCoreWebView2EnvironmentWithOptions: Error(cbw_Err { code: 127, "),
	          std::string::npos)
	    << run.output;
	remove_folder(folder);
}

// A DLL of that name in the current folder is not the loader: without one beside the program (and
// without an installed runtime) the user is told to install the runtime.
TEST(Loader, OneInTheCurrentFolderIsNeverLoaded) {
	if (is_child()) GTEST_SKIP();
	fs::path folder = folder_with_copy(L"planted");
	fs::path current = folder / L"current";
	fs::create_directories(current);
	fs::copy_file(this_program().parent_path() / L"edge2_loader_without_export.dll", current / L"WebView2Loader.dll");
	ChildRun run = run_child(folder, L"LoaderChild.*", current);
	EXPECT_EQ(run.exit_code, 101u) << run.output;
	EXPECT_NE(run.output.find("The Microsoft Edge WebView2 Runtime is not installed."), std::string::npos) << run.output;
	EXPECT_EQ(run.output.find("has no export"), std::string::npos) << run.output;
	remove_folder(folder);
}

TEST(UserDataFolder, BesideTheProgramUnlessItsFolderCannotBeWritten) {
	if (is_child()) GTEST_SKIP();
	fs::path writable = folder_with_copy(L"writable");
	EXPECT_EQ(edge2::user_data_folder_for((writable / L"Tarnwick.exe").wstring()).folder, std::nullopt);
	// Only the copy is left: the probe leaves nothing behind.
	EXPECT_EQ(std::distance(fs::directory_iterator(writable), fs::directory_iterator()), 1);
	fs::remove_all(writable);

	// Otherwise a folder of the program's own under the user's local application data, apart from
	// any folder that happens to have the program's name.
	PWSTR local = nullptr;
	ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local), S_OK);
	fs::path program = fs::path(local) / L"Edge2 Test Program";
	CoTaskMemFree(local);
	fs::remove_all(program);
	fs::create_directories(program / L"unrelated");
	edge2::UserDataFolder chosen = edge2::user_data_folder_for(L"C:\\no-such-folder-edge2\\Edge2 Test Program.exe");
	EXPECT_EQ(chosen.folder, std::optional<std::wstring>((program / L"WebView2").wstring()));
	EXPECT_EQ(chosen.failure, S_OK);
	EXPECT_TRUE(fs::is_directory(program / L"WebView2"));
	EXPECT_TRUE(fs::is_directory(program / L"unrelated"));

	// A file where the folder should be stays as it is, and the failure is reported.
	fs::remove_all(program);
	std::ofstream(program) << "not a folder";
	chosen = edge2::user_data_folder_for(L"C:\\no-such-folder-edge2\\Edge2 Test Program.exe");
	EXPECT_EQ(chosen.failure, HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
	EXPECT_TRUE(fs::is_regular_file(program));
	fs::remove_all(program);
}

} // namespace
} // namespace bw::edge2_test
