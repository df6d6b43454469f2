// A browser window whose engine cannot be brought up ends the process with exit code 101 and a text
// naming the step, after telling the user in an error box.
#include "edge2_support.hpp"
#include "standin_control.h"

#include <cstdio>
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
	// 2147942405 is E_ACCESSDENIED.
	EXPECT_EXIT(build_failing("CreateCoreWebView2EnvironmentWithOptions", E_ACCESSDENIED), ExitedWithCode(101),
	            "^unable to create environment: Error\\(cbw_Err \\{ code: 2147942405, data: 0x");
	EXPECT_EXIT(build_failing("CreateCoreWebView2EnvironmentWithOptions.completion", E_ACCESSDENIED), ExitedWithCode(101),
	            "^environment error: Error\\(cbw_Err \\{ code: 2147942405, data: 0x\\w+, alloc_message: 0x\\w+ \\}\\)\n$");
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

// Waits for the error box among this process's windows, writes what it says to the standard error
// stream and clicks its OK button, as a user reads and dismisses it.
void answer_error_box() {
	DWORD process = GetCurrentProcessId();
	for (int attempt = 0; attempt < 500; ++attempt) {
		HWND box = nullptr;
		while ((box = FindWindowExW(nullptr, box, L"#32770", L"Browser Window Error")) != nullptr) {
			DWORD owner = 0;
			GetWindowThreadProcessId(box, &owner);
			if (owner != process || !IsWindowVisible(box)) continue;
			std::wstring text = box_text(box);
			std::string utf8(text.size() * 3 + 1, '\0');
			utf8.resize(static_cast<std::size_t>(
			    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
			std::fprintf(stderr, "box says: %s\n", utf8.c_str());
			std::fflush(stderr);
			PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
			return;
		}
		Sleep(20);
	}
	std::fprintf(stderr, "no error box\n");
}

TEST_F(CreationFailure, TheUserIsToldInAnErrorBoxBeforeTheProcessEnds) {
	EXPECT_EXIT(
	    {
		    SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", nullptr);
		    std::thread(answer_error_box).detach();
		    build_failing("get_Settings", E_ACCESSDENIED);
	    },
	    ExitedWithCode(101), "^box says: unable to get settings: Error\\(cbw_Err \\{ code: 2147942405, .*\nunable to get settings: Error\\(cbw_Err");
}

} // namespace
} // namespace bw::edge2_test
