// A named mutex in the session's namespace ("Local\"); a later launch finds the holder's window
// (class "bw-window", title "Tarnwick", owned by the holder's process) and raises it itself: as the
// program the user just started it may take the foreground.
#include "single_instance.hpp"

#include "launcher_log.hpp"

#include <windows.h>

#include <chrono>
#include <thread>

namespace tarnwick {

namespace {

struct Search {
	HWND found = nullptr;
};

BOOL CALLBACK visit(HWND window, LPARAM data) {
	wchar_t class_name[32];
	wchar_t title[32];
	if (GetClassNameW(window, class_name, 32) == 0 || wcscmp(class_name, L"bw-window") != 0) return TRUE;
	if (GetWindowTextW(window, title, 32) == 0 || wcscmp(title, L"Tarnwick") != 0) return TRUE;
	DWORD pid = 0;
	GetWindowThreadProcessId(window, &pid);
	if (pid == GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
	reinterpret_cast<Search*>(data)->found = window;
	return FALSE;
}

class Win32Instance final : public SingleInstance {
public:
	explicit Win32Instance(HANDLE mutex) : mutex_(mutex) {}
	void on_raise_request(std::function<void()>) override {}

private:
	// Held until the process ends.
	HANDLE mutex_;
};

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(Outcome& outcome) {
	outcome = Outcome::First;
	HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tarnwick.Launcher");
	if (mutex == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return std::make_unique<Win32Instance>(mutex);
	CloseHandle(mutex);
	// The other launcher may still be starting: its window comes within a few seconds.
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
	while (std::chrono::steady_clock::now() < deadline) {
		Search search;
		EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
		if (search.found != nullptr) {
			DWORD pid = 0;
			GetWindowThreadProcessId(search.found, &pid);
			AllowSetForegroundWindow(pid);
			if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
			SetForegroundWindow(search.found);
			outcome = Outcome::Raised;
			return nullptr;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(100));
	}
	launcher_log::write("another launcher runs but shows no window; starting anyway");
	return std::make_unique<Win32Instance>(nullptr);
}

} // namespace tarnwick
