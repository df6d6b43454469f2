// A browser window whose engine cannot be brought up ends the process with exit code 101 and a text
// naming the step, after telling the user in one error box: the failed step, the HRESULT in hex and
// the system's text for it.
#include "core/fatal.hpp"
#include "edge2_support.hpp"
#include "standin_control.h"

#include <objbase.h>

#include <cstdio>
#include <set>
#include <thread>

namespace bw::edge2_test {
namespace {

using ::testing::ExitedWithCode;

Task<> open_and_wait(ApplicationHandle app) {
	BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
	co_await std::move(pending);
	ADD_FAILURE() << "announced despite the failure";
}

class CreationFailure : public Edge2Test {
protected:
	// In the death test's process: the step fails, then a window is built.
	void build_failing(const char* step, HRESULT hr) {
		StandIn_FailStep(step, hr);
		app.run_main(open_and_wait);
	}
};

TEST_F(CreationFailure, EachStepStopsWithItsText) {
	// E_ACCESSDENIED wraps the Win32 error 5.
	EXPECT_EXIT(build_failing("CreateCoreWebView2EnvironmentWithOptions", E_ACCESSDENIED), ExitedWithCode(101),
	            "^unable to create environment: Error\\(cbw_Err \\{ code: 5, data: 0x");
	EXPECT_EXIT(build_failing("CreateCoreWebView2EnvironmentWithOptions.completion", E_ACCESSDENIED), ExitedWithCode(101),
	            "^environment error: Error\\(cbw_Err \\{ code: 5, data: 0x\\w+, alloc_message: 0x\\w+ \\}\\)\n$");
	EXPECT_EXIT(build_failing("CreateCoreWebView2Controller", E_ACCESSDENIED), ExitedWithCode(101), "^controller error: Error\\(cbw_Err");
	EXPECT_EXIT(build_failing("CreateCoreWebView2Controller.completion", E_ABORT), ExitedWithCode(101),
	            "^controller error: Error\\(cbw_Err \\{ code: 2147500036, ");
	EXPECT_EXIT(build_failing("get_CoreWebView2", E_ACCESSDENIED), ExitedWithCode(101), "^unable to get webview: Error\\(cbw_Err");
	EXPECT_EXIT(build_failing("get_Settings", E_ACCESSDENIED), ExitedWithCode(101), "^unable to get settings: Error\\(cbw_Err");
	EXPECT_EXIT(build_failing("Navigate", E_ACCESSDENIED), ExitedWithCode(101), "^unable to navigate to source: Error\\(cbw_Err");
}

TEST_F(CreationFailure, AMissingRuntimeIsNamedInPlainWords) {
	EXPECT_EXIT(
	    {
		    StandIn_BrowserVersion(nullptr);
		    app.run_main(open_and_wait);
	    },
	    ExitedWithCode(101),
	    "^The Microsoft Edge WebView2 Runtime is not installed\\. Install it from https://go\\.microsoft\\.com/fwlink/p/\\?LinkId=2124703\n$");
}

std::string utf8(const std::wstring& text) {
	std::string out(text.size() * 3 + 1, '\0');
	out.resize(static_cast<std::size_t>(
	    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
	return out;
}

std::wstring wide(std::string_view text) {
	std::wstring out(text.size() + 1, L'\0');
	out.resize(static_cast<std::size_t>(
	    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()))));
	return out;
}

// The static texts of a dialog box, joined.
std::wstring box_text(HWND box) {
	std::wstring text;
	for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
		wchar_t class_name[16] = {};
		GetClassNameW(child, class_name, 16);
		if (_wcsicmp(class_name, L"Static") != 0) continue;
		wchar_t buffer[1024] = {};
		GetWindowTextW(child, buffer, 1024);
		text += buffer;
	}
	return text;
}

// Answers every error box of this process as a user reads and dismisses it: writes its title and
// text to the standard error stream and clicks OK. Runs until the process ends.
void answer_error_boxes() {
	DWORD process = GetCurrentProcessId();
	std::set<HWND> answered;
	for (int attempt = 0; attempt < 500 || !answered.empty(); ++attempt) {
		HWND box = nullptr;
		while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
			DWORD owner = 0;
			GetWindowThreadProcessId(box, &owner);
			if (owner != process || !IsWindowVisible(box) || !answered.insert(box).second) continue;
			wchar_t title[256] = {};
			GetWindowTextW(box, title, 256);
			std::fprintf(stderr, "box \"%s\" says: %s\n", utf8(title).c_str(), utf8(box_text(box)).c_str());
			std::fflush(stderr);
			PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
		}
		Sleep(20);
	}
	std::fprintf(stderr, "no error box\n");
}

TEST_F(CreationFailure, TheUserIsToldInAnErrorBoxBeforeTheProcessEnds) {
	EXPECT_EXIT(
	    {
		    SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", nullptr);
		    std::thread(answer_error_boxes).detach();
		    build_failing("get_Settings", E_ACCESSDENIED);
	    },
	    ExitedWithCode(101),
	    "^box \"edge2_tests Error\" says: unable to get settings: 0x80070005 Access.*denied\\.\nunable to get settings: Error\\(cbw_Err .*\n$");
}

// The program's own fatal-stop observer, as the launcher has one.
void show_in_program_box(std::string_view text) {
	MessageBoxW(nullptr, wide(text).c_str(), L"Test Program Error", MB_OK | MB_ICONERROR);
}

TEST_F(CreationFailure, AProgramThatShowsItsFatalStopsShowsTheOnlyBox) {
	EXPECT_EXIT(
	    {
		    SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", nullptr);
		    set_fatal_stop_observer(show_in_program_box);
		    std::thread(answer_error_boxes).detach();
		    build_failing("get_Settings", E_ACCESSDENIED);
	    },
	    ExitedWithCode(101),
	    "^unable to get settings: Error\\(cbw_Err .*\nbox \"Test Program Error\" says: unable to get settings: 0x80070005 Access.*denied\\.\n$");
}

// The GUI thread must be in a single-threaded apartment; one already in the multithreaded one is
// refused with a text that says so, instead of failing later inside the engine.
TEST(ApplicationApartment, AGuiThreadInTheMultithreadedApartmentIsRefused) {
	std::thread([] {
		ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
		Result<Application> app = Application::initialize(ApplicationSettings{});
		EXPECT_FALSE(app.ok());
		if (!app.ok()) {
			EXPECT_EQ(app.error().code(), static_cast<uint32_t>(RPC_E_CHANGED_MODE));
			EXPECT_NE(app.error().to_string().find("multithreaded apartment"), std::string::npos) << app.error().to_string();
		}
		CoUninitialize();
	}).join();
}

} // namespace
} // namespace bw::edge2_test
