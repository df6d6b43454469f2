// Describes a browser window and builds it. The builder dereferences to its window options.
#pragma once

#include "application/application.hpp"
#include "browser/browser_window.hpp"
#include "browser/oneshot.hpp"
#include "browser/page_capabilities.hpp"
#include "browser/source.hpp"
#include "window/window_builder.hpp"

#include <functional>

namespace bw {

// The future build_async returns: completes with the BrowserWindow once the engine announced it.
class BrowserWindowFuture {
public:
	using Output = BrowserWindow;

	explicit BrowserWindowFuture(oneshot::Receiver<BrowserWindowHandle> receiver) : receiver_(std::move(receiver)) {}

	bool poll(const Waker& waker) { return receiver_.poll(waker); }
	BrowserWindow take_output();

private:
	oneshot::Receiver<BrowserWindowHandle> receiver_;
};

class BrowserWindowBuilder {
public:
	using OnCreated = std::function<void(BrowserWindowHandle)>;

	// Window options at their defaults, developer tools off.
	explicit BrowserWindowBuilder(Source source) : source_(std::move(source)) {}

	BrowserWindowBuilder& dev_tools(bool enabled) {
		dev_tools_ = enabled;
		return *this;
	}

	// The opt-in capabilities; see page_capabilities.hpp.
	BrowserWindowBuilder& navigation_policy(NavigationPolicy policy, HomeOrigins home = {}) {
		capabilities_.navigation_policy = std::move(policy);
		capabilities_.home_origins = std::move(home);
		return *this;
	}
	BrowserWindowBuilder& downloads(DownloadDestination destination, DownloadFinished finished) {
		capabilities_.download_destination = std::move(destination);
		capabilities_.download_finished = std::move(finished);
		return *this;
	}
	BrowserWindowBuilder& on_process_failed(ProcessFailedHandler handler) {
		capabilities_.process_failed = std::move(handler);
		return *this;
	}
	// Told when each navigation of the top-level document starts and ends.
	BrowserWindowBuilder& on_load(LoadObserver observer) {
		capabilities_.loads = std::move(observer);
		return *this;
	}
	BrowserWindowBuilder& browser_keys(bool enabled) {
		capabilities_.browser_keys = enabled;
		return *this;
	}
	BrowserWindowBuilder& zoom(double factor, ZoomChanged changed = {}) {
		capabilities_.zoom = factor;
		capabilities_.zoom_changed = std::move(changed);
		return *this;
	}
	BrowserWindowBuilder& background(BackgroundColor color) {
		capabilities_.background = color;
		return *this;
	}
	BrowserWindowBuilder& engine_error_pages(bool shown) {
		capabilities_.engine_error_pages = shown;
		return *this;
	}
	BrowserWindowBuilder& first_navigation_within(std::chrono::milliseconds limit) {
		capabilities_.first_navigation_within = limit;
		return *this;
	}
	// The first navigation waits until the gate opens (the engine starts meanwhile); the window's
	// limit on it counts from then.
	BrowserWindowBuilder& hold_first_navigation(std::shared_ptr<FirstNavigationGate> gate) {
		capabilities_.first_navigation_gate = std::move(gate);
		return *this;
	}
	BrowserWindowBuilder& follow_desktop_theme(bool followed) {
		capabilities_.follow_desktop_theme = followed;
		return *this;
	}
	BrowserWindowBuilder& find_and_print(bool keys, FindBarTexts texts = {}) {
		capabilities_.find_and_print = keys;
		capabilities_.find_bar_texts = std::move(texts);
		return *this;
	}
	BrowserWindowBuilder& user_languages(bool asked) {
		capabilities_.user_languages = asked;
		return *this;
	}
	// Every permission request of the pages is put to the policy (permissions.hpp).
	BrowserWindowBuilder& permissions(PermissionPolicy policy) {
		capabilities_.permission_policy = std::move(policy);
		return *this;
	}
	// The pages' notifications go to the handler (notifications.hpp).
	BrowserWindowBuilder& notifications(NotificationHandler handler) {
		capabilities_.notifications = std::move(handler);
		return *this;
	}
	const PageCapabilities& capabilities() const { return capabilities_; }

	WindowBuilder& operator*() { return window_; }
	const WindowBuilder& operator*() const { return window_; }
	WindowBuilder* operator->() { return &window_; }
	const WindowBuilder* operator->() const { return &window_; }

	// Starts building at once: the native window exists, hidden, when this returns. Await the
	// future on the GUI thread, in a task of the application.
	static BrowserWindowFuture build_async(BrowserWindowBuilder builder, ApplicationHandle app);
	// The same, started only when first awaited.
	static Task<BrowserWindow> build(BrowserWindowBuilder builder, ApplicationHandle app);

	// Starts the creation; on_created receives the handle once the engine announces the window.
	static void _build(BrowserWindowBuilder builder, ApplicationHandle app, OnCreated on_created);

	const Source& source() const { return source_; }
	bool dev_tools_enabled() const { return dev_tools_; }

private:
	WindowBuilder window_;
	Source source_;
	bool dev_tools_ = false;
	PageCapabilities capabilities_;
};

// What the engine binding calls once the window is ready: hands the handle to the one-shot
// callable in data, then frees it.
void browser_window_created_callback(BrowserWindowImpl browser, void* data);

} // namespace bw
