// Answering dialog boxes from outside the call that shows them: a second thread finds the box among
// the showing thread's windows by class (#32770) and title, and clicks its buttons as a user would.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace bw::dialogs::testing {

inline std::wstring window_text(HWND window) {
	wchar_t text[512] = {};
	GetWindowTextW(window, text, 512);
	return text;
}

inline void press(HWND box, int id) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id))); }

// Once a visible box with the title shows on the constructing thread, runs answer(box) on a second
// thread. Gives up after ten seconds.
class BoxAnswerer {
public:
	BoxAnswerer(std::wstring title, std::function<void(HWND box)> answer)
	    : thread_([this, thread_id = GetCurrentThreadId(), title = std::move(title), answer = std::move(answer)] {
		      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
		      for (; !found_ && std::chrono::steady_clock::now() < deadline; Sleep(20)) {
			      std::pair<const std::wstring*, HWND> search{&title, nullptr};
			      EnumThreadWindows(thread_id, match, reinterpret_cast<LPARAM>(&search));
			      if (search.second != nullptr) {
				      found_ = true;
				      answer(search.second);
			      }
		      }
	      }) {}
	~BoxAnswerer() { join(); }

	// Waits for the answer; then found() tells whether the box showed.
	void join() {
		if (thread_.joinable()) thread_.join();
	}
	bool found() const { return found_; }

private:
	static BOOL CALLBACK match(HWND window, LPARAM data) {
		auto* search = reinterpret_cast<std::pair<const std::wstring*, HWND>*>(data);
		wchar_t class_name[16] = {};
		GetClassNameW(window, class_name, 16);
		if (std::wstring(class_name) != L"#32770" || !IsWindowVisible(window) || window_text(window) != *search->first) return TRUE;
		search->second = window;
		return FALSE;
	}

	bool found_ = false;
	std::thread thread_;
};

} // namespace bw::dialogs::testing
