#include "../application_record.h"
#include "../timer_map.h"

#include "../../assertion.h"
#include "../../window/win32/window_proc.h"

#include <bw/win32.h>

#include <cstdlib>

namespace {

// How long a poster on another thread waits for room when the GUI thread's queue is full.
constexpr DWORD full_queue_retry_ms = 1;

constexpr const wchar_t* dispatch_window_class = L"bw-dispatch";

// Runs one message the loop took: window and timer messages go through their procedures, the
// dispatched calls through the dispatch window's.
void handleMessage(MSG* msg) {
	TranslateMessage(msg);
	DispatchMessageW(msg);
}

// WM_APP carries a dispatched call that is made and then released.
LRESULT CALLBACK dispatchWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
	if (msg != WM_APP) return DefWindowProcW(hwnd, msg, wp, lp);
	auto* app = reinterpret_cast<bw_Application*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
	auto* call = reinterpret_cast<bw_ApplicationDispatchData*>(lp);
	call->func(app, call->data);
	std::free(call);
	return 0;
}

} // namespace

extern "C" {

void CALLBACK bw_ApplicationWin32_timerHandler(HWND window, UINT, UINT_PTR timer_id, DWORD) {
	KillTimer(window, timer_id);
	bw_TimerMap_fire(timer_id);
}

void bw_ApplicationImpl_initialize(bw_ApplicationImpl* impl, bw_Application* app, int, char**, const bw_ApplicationSettings*) {
	InitializeSRWLock(&impl->is_running_mtx);
	impl->thread_id = GetCurrentThreadId();
	impl->hinstance = GetModuleHandleA(nullptr);

	WNDCLASSEXW& wc = impl->wc;
	wc.cbSize = sizeof(WNDCLASSEXW);
	wc.style = 0;
	wc.lpfnWndProc = bw_Window_proc;
	wc.cbClsExtra = 0;
	wc.cbWndExtra = 0;
	wc.hInstance = impl->hinstance;
	wc.hIcon = nullptr;
	wc.hCursor = nullptr;
	wc.hbrBackground = nullptr;
	wc.lpszMenuName = nullptr;
	wc.lpszClassName = L"bw-window";
	wc.hIconSm = nullptr;
	RegisterClassExW(&wc);

	WNDCLASSEXW dispatch_class{};
	dispatch_class.cbSize = sizeof dispatch_class;
	dispatch_class.lpfnWndProc = dispatchWindowProc;
	dispatch_class.hInstance = impl->hinstance;
	dispatch_class.lpszClassName = dispatch_window_class;
	RegisterClassExW(&dispatch_class);
	impl->dispatch_window = CreateWindowExW(0, dispatch_window_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, impl->hinstance, nullptr);
	if (impl->dispatch_window == nullptr) {
		bw_win32_print_error(GetLastError());
		bw_failAssertion("0");
	}
	SetWindowLongPtrW(impl->dispatch_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));

	// Make sure the thread has its message queue, so that posts from other threads made before the
	// loop first reads a message are not refused.
	MSG msg;
	PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

int bw_ApplicationImpl_run(bw_Application*, bw_ApplicationReady* ready) {
	bw_Application_runOnReady(ready->app, ready);

	bool quitting = false;
	int exit_code = 0;
	MSG msg;
	for (;;) {
		if (!quitting) {
			BOOL result = GetMessageW(&msg, nullptr, 0, 0);
			if (result == -1) {
				bw_win32_print_error(GetLastError());
				bw_failAssertion("0");
			}
			if (result == 0) {
				exit_code = static_cast<int>(static_cast<uint32_t>(msg.wParam));
				quitting = true;
			}
		} else if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
			return exit_code;
		}
		handleMessage(&msg);
	}
}

void bw_ApplicationImpl_runRemaining(bw_Application*) {
	MSG msg;
	while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) handleMessage(&msg);
}

void bw_ApplicationImpl_setRunning(bw_Application* app, bw_Bool32 running) {
	AcquireSRWLockExclusive(&app->impl_.is_running_mtx);
	__atomic_store_n(&app->is_running, running, __ATOMIC_RELEASE);
	ReleaseSRWLockExclusive(&app->impl_.is_running_mtx);
}

bw_Bool32 bw_ApplicationImpl_isGuiThread(const bw_ApplicationImpl* impl) { return GetCurrentThreadId() == impl->thread_id; }

bw_Bool32 bw_ApplicationImpl_dispatch(bw_Application* app, bw_ApplicationDispatchData* dispatch_data) {
	bw_ApplicationImpl* impl = &app->impl_;
	for (;;) {
		AcquireSRWLockShared(&impl->is_running_mtx);
		bool running = app->is_running;
		bool posted = running && PostMessageW(impl->dispatch_window, WM_APP, 0, reinterpret_cast<LPARAM>(dispatch_data));
		DWORD error = posted ? 0 : GetLastError();
		ReleaseSRWLockShared(&impl->is_running_mtx);
		if (posted) return 1;
		// A full queue empties as the GUI thread runs: another thread waits for room, with the lock
		// released so that run can still end. The GUI thread itself cannot wait for its own loop.
		if (!running || error != ERROR_NOT_ENOUGH_QUOTA || bw_ApplicationImpl_isGuiThread(impl)) return 0;
		Sleep(full_queue_retry_ms);
	}
}

int bw_ApplicationImpl_exit(bw_Application* app, int exit_code) {
	return PostThreadMessageW(app->impl_.thread_id, WM_QUIT, static_cast<WPARAM>(static_cast<intptr_t>(exit_code)), 0);
}

uintptr_t bw_ApplicationImpl_setTimer(bw_Application*, uint32_t milliseconds) {
	return SetTimer(nullptr, 0, milliseconds, bw_ApplicationWin32_timerHandler);
}

void bw_ApplicationImpl_killTimer(uintptr_t timer_id) { KillTimer(nullptr, timer_id); }

void bw_ApplicationImpl_finish(bw_ApplicationImpl* impl) {
	bw_TimerMap_free();
	// Calls still queued for the window are released uncalled, like the timers' calls.
	MSG msg;
	while (PeekMessageW(&msg, impl->dispatch_window, WM_APP, WM_APP, PM_REMOVE)) std::free(reinterpret_cast<void*>(msg.lParam));
	DestroyWindow(impl->dispatch_window);
	UnregisterClassW(dispatch_window_class, impl->hinstance);
	UnregisterClassW(L"bw-window", impl->hinstance);
}

void bw_ApplicationImpl_free(bw_ApplicationImpl*) {}

} // extern "C"
