// Without WebView2Loader.dll the program finds the installed runtime itself: copies of this program
// run from folders without the loader, against the stand-in engine built as a runtime's
// EmbeddedBrowserWebView.dll, laid out in a runtime's folders and registered in the registry.
#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/edge2/loader.hpp"
#include "edge2/program_copy.hpp"
#include "support/test_application.hpp"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <utility>

namespace bw::edge2_test {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t stable_channel[] = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t beta_channel[] = L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
constexpr char missing_text[] =
    "The Microsoft Edge WebView2 Runtime is not installed. Install it from https://go.microsoft.com/fwlink/p/?LinkId=2124703";

// The output has the text as a whole line (ended by CR LF or LF).
bool has_line(const std::string& output, const std::string& text) {
	for (std::size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) {
		bool starts = at == 0 || output[at - 1] == '\n';
		std::size_t end = at + text.size();
		if (starts && end < output.size() && (output[end] == '\r' || output[end] == '\n')) return true;
	}
	return false;
}

// A registry value written for one test and removed with its key afterwards.
class Registration {
public:
	Registration(HKEY root, REGSAM view, const wchar_t* kind, const wchar_t* name, const std::wstring& value, const wchar_t* channel = stable_channel)
	    : root_(root), view_(view), key_(std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\") + kind + L"\\" + channel) {
		HKEY key = nullptr;
		LSTATUS status = RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, &key, nullptr);
		EXPECT_EQ(status, ERROR_SUCCESS);
		if (status != ERROR_SUCCESS) return;
		auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
		EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes), ERROR_SUCCESS);
		RegCloseKey(key);
	}
	Registration(const Registration&) = delete;
	Registration& operator=(const Registration&) = delete;
	~Registration() {
		RegDeleteKeyExW(root_, key_.c_str(), view_, 0);
		// The parents go too when nothing else is left in them.
		for (std::wstring key = key_; key.size() > std::wstring_view(L"SOFTWARE\\Microsoft\\EdgeUpdate").size();) {
			key.resize(key.find_last_of(L'\\'));
			RegDeleteKeyExW(root_, key.c_str(), view_, 0);
		}
	}

private:
	HKEY root_;
	REGSAM view_;
	std::wstring key_;
};

// Registrations an interrupted run left in the test prefix would take part in the choice.
void remove_all_registrations() {
	for (auto [root, view] : {std::pair{HKEY_CURRENT_USER, REGSAM(0)}, std::pair{HKEY_LOCAL_MACHINE, REGSAM(KEY_WOW64_32KEY)}}) {
		HKEY key = nullptr;
		if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\EdgeUpdate", 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) continue;
		RegDeleteTreeW(key, nullptr);
		RegCloseKey(key);
	}
}

Registration per_user_folder(const fs::path& version_folder) {
	return {HKEY_CURRENT_USER, 0, L"ClientState", L"EBWebView", version_folder.wstring()};
}

Registration per_machine_folder(const fs::path& version_folder) {
	return {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"ClientState", L"EBWebView", version_folder.wstring()};
}

// The fake runtime's version folder under root: <root>\EdgeWebView\Application\<version>.
fs::path install_runtime(const fs::path& root, const wchar_t* version) {
	fs::path folder = root / L"EdgeWebView" / L"Application" / version;
	fs::path dll_folder = folder / L"EBWebView" / L"x64";
	fs::create_directories(dll_folder);
	fs::copy_file(this_program().parent_path() / L"standin_runtime" / L"EmbeddedBrowserWebView.dll", dll_folder / L"EmbeddedBrowserWebView.dll");
	return folder;
}

std::string read_file(const fs::path& path) {
	std::ifstream in(path, std::ios::binary);
	std::stringstream text;
	text << in.rdbuf();
	return text.str();
}

// Only in the copy: reports the runtime's version, then builds a window and says when it is
// announced.
TEST(RuntimeChild, BuildsAWindow) {
	if (!is_child()) GTEST_SKIP() << "runs in the copies the runtime tests start";
	SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", L"1");
	testing::TestApplication app;
	LPWSTR version = nullptr;
	HRESULT hr = edge2::available_browser_version(edge2::loader(), &version);
	std::fprintf(stderr, "runtime %08lx %ls\n", static_cast<unsigned long>(hr), version == nullptr ? L"(null)" : version);
	CoTaskMemFree(version);
	int exit_code = app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = BrowserWindowBuilder::build_async(BrowserWindowBuilder(Source::Url{"https://example.test/"}), app);
		BrowserWindow window = co_await std::move(pending);
		std::fputs("announced\n", stderr);
		app.exit(0);
	});
	EXPECT_EQ(exit_code, 0);
}

class InstalledRuntime : public ::testing::Test {
protected:
	void SetUp() override {
		if (is_child()) GTEST_SKIP();
		remove_all_registrations();
		program = folder_with_copy(L"runtime-program");
		runtimes = program.parent_path() / (L"edge2-runtimes-" + std::to_wstring(GetCurrentProcessId()));
		remove_folder(runtimes);
		log = program / L"calls.txt";
		SetEnvironmentVariableW(L"WEBVIEW2_STANDIN_LOG", log.c_str());
	}
	void TearDown() override {
		SetEnvironmentVariableW(L"WEBVIEW2_STANDIN_LOG", nullptr);
		remove_folder(program);
		remove_folder(runtimes);
	}

	ChildRun run() { return run_child(program, L"RuntimeChild.*"); }

	// The window came up through the runtime of that version.
	void expect_window_through(const ChildRun& child, const char* version) {
		EXPECT_EQ(child.exit_code, 0u) << child.output;
		EXPECT_TRUE(has_line(child.output, std::string("runtime 00000000 ") + version)) << child.output;
		EXPECT_TRUE(has_line(child.output, "announced")) << child.output;
		std::string calls = read_file(log);
		// Reuse a running instance, installed runtime, the default folder beside the program.
		std::string user_data;
		// The log escapes backslashes.
		for (char c : (program / this_program().filename()).string() + ".WebView2") user_data += c == '\\' ? std::string("\\\\") : std::string(1, c);
		EXPECT_NE(calls.find("CreateWebViewEnvironmentWithOptionsInternal(1,0," + user_data + ",opts)\n"), std::string::npos) << calls;
		EXPECT_NE(calls.find("Navigate(https://example.test/)"), std::string::npos) << calls;
	}

	void expect_missing(const ChildRun& child) {
		EXPECT_EQ(child.exit_code, 101u) << child.output;
		EXPECT_TRUE(has_line(child.output, missing_text)) << child.output;
		EXPECT_EQ(child.output.find("announced"), std::string::npos) << child.output;
	}

	fs::path program;
	fs::path runtimes;
	fs::path log;
};

TEST_F(InstalledRuntime, PerUserRegistrationBringsUpTheWindow) {
	Registration registration = per_user_folder(install_runtime(runtimes, L"138.0.3351.48"));
	expect_window_through(run(), "138.0.3351.48");
}

TEST_F(InstalledRuntime, NewestIntactRegistrationWinsAcrossMachineAndUser) {
	// Per-machine by folder; per-user by version alone, in the user's usual install folder.
	Registration machine = per_machine_folder(install_runtime(runtimes, L"120.0.2210.91"));
	PWSTR local = nullptr;
	ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local), S_OK);
	fs::path user_root = fs::path(local) / L"Microsoft";
	CoTaskMemFree(local);
	fs::path user_folder = install_runtime(user_root, L"125.0.2535.51");
	Registration user(HKEY_CURRENT_USER, 0, L"Clients", L"pv", L"125.0.2535.51");
	expect_window_through(run(), "125.0.2535.51");

	// Uninstalled, but still registered: the per-machine runtime is left.
	remove_folder(user_root / L"EdgeWebView");
	ASSERT_FALSE(fs::exists(user_folder));
	expect_window_through(run(), "120.0.2210.91");
}

TEST_F(InstalledRuntime, ABrokenNewestRuntimeGivesWayToTheNextRegistration) {
	fs::path broken = install_runtime(runtimes, L"130.0.2849.80");
	std::ofstream(broken / L"EBWebView" / L"x64" / L"EmbeddedBrowserWebView.dll", std::ios::trunc) << "not a DLL";
	Registration newest = per_user_folder(broken);
	Registration older = per_machine_folder(install_runtime(runtimes, L"120.0.2210.91"));
	expect_window_through(run(), "120.0.2210.91");
}

// A preview channel's pv names an Edge browser install, whose folders hold no runtime to start.
TEST_F(InstalledRuntime, OnlyTheStableChannelsVersionAloneNamesARuntime) {
	PWSTR local = nullptr;
	ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local), S_OK);
	fs::path user_root = fs::path(local) / L"Microsoft";
	CoTaskMemFree(local);
	install_runtime(user_root, L"125.0.2535.51");
	{
		Registration beta(HKEY_CURRENT_USER, 0, L"Clients", L"pv", L"125.0.2535.51", beta_channel);
		expect_missing(run());
	}
	Registration stable(HKEY_CURRENT_USER, 0, L"Clients", L"pv", L"125.0.2535.51");
	expect_window_through(run(), "125.0.2535.51");
	remove_folder(user_root / L"EdgeWebView");
}

TEST_F(InstalledRuntime, WithoutAnIntactRecentRuntimeTheUserIsToldWhatToInstall) {
	expect_missing(run());

	// A folder that is gone and a runtime older than the oldest we can drive.
	Registration stale = per_user_folder(runtimes / L"EdgeWebView" / L"Application" / L"138.0.3351.48");
	Registration old = per_machine_folder(install_runtime(runtimes, L"88.0.705.81"));
	expect_missing(run());
}

} // namespace
} // namespace bw::edge2_test
