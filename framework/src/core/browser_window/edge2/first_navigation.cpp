// The window's announcement after its first navigation, and the program's limit on how long that
// navigation may take. The limit is a timer on the native window, identified by the record, started
// with the first navigation and killed by the announcement or by freeing the window.
#include "core/browser_window/edge2/com_handler.hpp"
#include "core/browser_window/edge2/engine_slots.hpp"
#include "core/browser_window/edge2/view_capabilities.hpp"

#include <bw/window_win32.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace bw::edge2 {

namespace {

UINT_PTR timer_id(bw_BrowserWindow* record) { return reinterpret_cast<UINT_PTR>(record); }

// Once; later calls do nothing.
void announce(bw_BrowserWindow* record, Liveness& liveness, bool loaded) {
	if (!liveness.announce) return;
	std::function<void()> announce_now = std::exchange(liveness.announce, nullptr);
	stop_first_navigation_limit(record);
	liveness.source_failed = !loaded;
	announce_now();
}

// Never removed: the view drops it when it closes.
class NavigationCompleted final : public ComHandler<ICoreWebView2NavigationCompletedEventHandler, IID_ICoreWebView2NavigationCompletedEventHandler> {
public:
	NavigationCompleted(bw_BrowserWindow* record, std::shared_ptr<Liveness> liveness) : record_(record), liveness_(std::move(liveness)) {}

	// sender and args are only lent.
	HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) override {
		KeepAlive keep(this);
		if (!liveness_->alive || !liveness_->announce) return S_OK;
		BOOL success = TRUE;
		if (args != nullptr && FAILED(args->get_IsSuccess(&success))) success = TRUE;
		announce(record_, *liveness_, success);
		return S_OK;
	}

private:
	~NavigationCompleted() override = default;

	bw_BrowserWindow* record_;
	std::shared_ptr<Liveness> liveness_;
};

// The first navigation ran out of time: it is stopped, and the window announced as one whose
// source did not load, without waiting for the engine to report the stop.
void CALLBACK first_navigation_overdue(HWND window, UINT, UINT_PTR id, DWORD) {
	KillTimer(window, id);
	auto* record = reinterpret_cast<bw_BrowserWindow*>(id);
	std::shared_ptr<Liveness> liveness = liveness_of(record);
	if (!liveness->alive || !liveness->announce) return;
	if (ICoreWebView2* webview = webview_of(record)) webview->Stop();
	announce(record, *liveness, false);
}

} // namespace

void watch_first_navigation(const ViewParts& view) {
	auto* completed = new NavigationCompleted(view.record, view.liveness);
	EventRegistrationToken token{};
	view.webview->add_NavigationCompleted(completed, &token);
	completed->Release();
}

void start_first_navigation_limit(const ViewParts& view) {
	const std::optional<std::chrono::milliseconds>& limit = view.capabilities().first_navigation_within;
	if (!limit) return;
	auto milliseconds = static_cast<UINT>(std::clamp<std::chrono::milliseconds::rep>(limit->count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
	SetTimer(bw_WindowWin32_getHandle(view.record->window), timer_id(view.record), milliseconds, first_navigation_overdue);
}

void stop_first_navigation_limit(bw_BrowserWindow* record) { KillTimer(bw_WindowWin32_getHandle(record->window), timer_id(record)); }

} // namespace bw::edge2
