// Finding the engine: a copy of this program runs from a folder without WebView2Loader.dll, or with
// one that lacks the entry point, and must stop with a text naming what is missing. And where the
// engine keeps its user data.
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/edge2/user_data_folder.hpp"
#include "support/test_application.hpp"

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace bw::edge2_test {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t child_flag[] = L"--edge2-loader-child";

bool is_child() { return std::wstring_view(GetCommandLineW()).find(child_flag) != std::wstring_view::npos; }

fs::path this_program() {
	wchar_t path[MAX_PATH] = {};
	GetModuleFileNameW(nullptr, path, MAX_PATH);
	return path;
}

// Removes the folder; under Wine a child's files may stay open a moment after the child ended.
void remove_folder(const fs::path& folder) {
	std::error_code error;
	for (int attempt = 0; attempt < 50; attempt++) {
		fs::remove_all(folder, error);
		if (!error) return;
		Sleep(100);
	}
}

// A fresh folder holding a copy of this program.
fs::path folder_with_copy(const wchar_t* name) {
	fs::path folder = fs::temp_directory_path() / (std::wstring(L"edge2-") + name + L"-" + std::to_wstring(GetCurrentProcessId()));
	remove_folder(folder);
	fs::create_directories(folder);
	fs::copy_file(this_program(), folder / this_program().filename());
	return folder;
}

struct ChildRun {
	DWORD exit_code = 0;
	std::string standard_error;
};

// Runs the copy in the folder as the child that builds a browser window.
ChildRun run_child(const fs::path& folder) {
	fs::path error_file = folder / L"stderr.txt";
	SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
	HANDLE error = CreateFileW(error_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
	STARTUPINFOW startup{};
	startup.cb = sizeof startup;
	startup.dwFlags = STARTF_USESTDHANDLES;
	startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
	startup.hStdOutput = error;
	startup.hStdError = error;
	std::wstring command = L"\"" + (folder / this_program().filename()).wstring() + L"\" --gtest_filter=LoaderChild.* " + child_flag;
	PROCESS_INFORMATION process{};
	ChildRun run;
	if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &process)) {
		ADD_FAILURE() << "cannot start the copy: " << GetLastError();
		CloseHandle(error);
		return run;
	}
	if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) ADD_FAILURE() << "the copy did not end";
	GetExitCodeProcess(process.hProcess, &run.exit_code);
	CloseHandle(process.hThread);
	CloseHandle(process.hProcess);
	CloseHandle(error);
	std::ifstream in(error_file, std::ios::binary);
	std::stringstream text;
	text << in.rdbuf();
	run.standard_error = text.str();
	return run;
}

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

TEST(Loader, WithoutTheDllCreationStopsNamingIt) {
	if (is_child()) GTEST_SKIP();
	fs::path folder = folder_with_copy(L"no-loader");
	ChildRun run = run_child(folder);
	EXPECT_EQ(run.exit_code, 101u) << run.standard_error;
	// 2147942526: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
	EXPECT_NE(run.standard_error.find("unable to load WebView2Loader.dll: Error(cbw_Err { code: 2147942526, "), std::string::npos)
	    << run.standard_error;
	remove_folder(folder);
}

TEST(Loader, WithoutItsEntryPointCreationStopsNamingIt) {
	if (is_child()) GTEST_SKIP();
	fs::path folder = folder_with_copy(L"no-export");
	fs::copy_file(this_program().parent_path() / L"edge2_loader_without_export.dll", folder / L"WebView2Loader.dll");
	ChildRun run = run_child(folder);
	EXPECT_EQ(run.exit_code, 101u) << run.standard_error;
	// 2147942527: HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND).
	EXPECT_NE(run.standard_error.find("WebView2Loader.dll has no export CreateCoreWebView2EnvironmentWithOptions: Error(cbw_Err { code: 2147942527, "),
	          std::string::npos)
	    << run.standard_error;
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
