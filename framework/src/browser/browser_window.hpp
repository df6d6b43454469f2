// Browser windows: the handle, the counted owner, the owning BrowserWindow, the window attachment
// and the events.
#pragma once

#include "application/application.hpp"
#include "browser/eval_js_future.hpp"
#include "core/browser_window/browser_window_impl.hpp"
#include "window/window_handle.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Copyable; owns nothing. Valid while its owner exists, except eval_js_threadsafe, which a copy may
// call from any thread at any time.
class BrowserWindowHandle {
public:
	// GUI thread.
	explicit BrowserWindowHandle(bw_BrowserWindow* record);

	ApplicationHandle app() const { return app_; }
	// Hides the window; nothing is released and it can be shown again.
	void close() const { window_.hide(); }
	Result<std::monostate> navigate(std::string_view url) const { return inner_.navigate(url); }
	std::string url() const { return inner_.url(); }
	void reload() const { inner_.reload(); }
	// With find_and_print on the builder. Opens the find bar with the text and finds its first match
	// (case-insensitive, wrapping), as Ctrl+F and typing would; false where the program cannot find
	// (WebView2, whose find interface is not released: there the engine's own Ctrl+F bar serves).
	bool find(std::string_view text) const { return inner_.find(text); }
	// Opens the system's print dialog for the page, as Ctrl+P and window.print() do.
	void print() const { inner_.print(); }
	double zoom() const { return inner_.zoom(); }
	void set_zoom(double factor) const { inner_.set_zoom(factor); }
	// Whether the navigation to the builder's source succeeded (an unreachable server, say, makes it
	// fail and the engine show its error page). Known once the window is built.
	bool source_loaded() const { return inner_.source_loaded(); }
	// Runs the script and discards its outcome.
	void exec_js(std::string_view script) const;
	// Runs the script; the future completes with its value or its error.
	EvalJsFuture eval_js(std::string_view script) const;
	// Any thread, also after the window is gone: eval_js carried to the GUI thread. The callback runs
	// there exactly once, with an evaluation error when the window was freed meanwhile (or at once on
	// the calling thread when the application no longer runs).
	void eval_js_threadsafe(std::string_view script, BrowserWindowImpl::EvalJsCallback callback, void* callback_data) const {
		BrowserWindowImpl::eval_js_threadsafe(cross_thread(), script, callback, callback_data);
	}
	// What another thread needs to reach this window.
	CrossThreadBrowser cross_thread() const { return CrossThreadBrowser{app_.impl(), inner_, alive_}; }

	const ApplicationHandle& app_handle() const { return app_; }
	const WindowHandle& window() const { return window_; }
	BrowserWindowImpl inner() const { return inner_; }

private:
	friend class BrowserWindowOwner;

	BrowserWindowImpl inner_;
	ApplicationHandle app_;
	WindowHandle window_;
	// Shared by every copy; cleared by the owner before it frees the window.
	AliveFlag alive_;
};

// Owns the browser window: when the last strong reference goes, it releases the engine's objects,
// then frees the native window, then the record. GUI thread only.
class BrowserWindowOwner {
public:
	explicit BrowserWindowOwner(BrowserWindowHandle handle) : handle_(handle) {}
	BrowserWindowOwner(const BrowserWindowOwner&) = delete;
	BrowserWindowOwner& operator=(const BrowserWindowOwner&) = delete;
	~BrowserWindowOwner();

	const BrowserWindowHandle& handle() const { return handle_; }
	const BrowserWindowHandle* operator->() const { return &handle_; }

	// Keeps a page-message handler until the window is released.
	void keep_handler(std::shared_ptr<EventHandler> handler) { handlers_.push_back(std::move(handler)); }
	// Once the user has closed the window: when the references its handlers hold (a handler that
	// captured its own BrowserWindow) are all that keep it, the handlers are dropped, and with them
	// the window. Otherwise nothing changes. `self` is one more reference, taken by the caller.
	static void release_if_only_handlers_hold(std::shared_ptr<BrowserWindowOwner> self);

private:
	BrowserWindowHandle handle_;
	std::vector<std::shared_ptr<EventHandler>> handlers_;
	bool releasing_handlers_ = false;
};

// The window attachment: the native window's user data holds one strong reference to the owner
// until the user closes the window.
struct BrowserUserData {
	std::shared_ptr<BrowserWindowOwner> owner;
};

// Page-to-program messages of one browser window. Holds the owner weakly.
class MessageEvent {
public:
	explicit MessageEvent(std::weak_ptr<BrowserWindowOwner> owner) : owner_(std::move(owner)) {}

	void register_handler(SyncMessageHandler handler) const;
	void register_handler(AsyncMessageHandler handler) const;

private:
	std::weak_ptr<BrowserWindowOwner> owner_;
};

// The events the engines do not offer: requesting one is a fatal stop.
struct UnsupportedEvent {};

// A strong reference to a browser window, what build_async yields. Dropping the last one while the
// window is open frees nothing: the window holds its own reference until it is closed.
class BrowserWindow {
public:
	explicit BrowserWindow(std::shared_ptr<BrowserWindowOwner> owner) : owner_(std::move(owner)) {}
	BrowserWindow(const BrowserWindow&) = default;
	BrowserWindow(BrowserWindow&&) noexcept = default;
	BrowserWindow& operator=(const BrowserWindow&) = default;
	BrowserWindow& operator=(BrowserWindow&&) noexcept = default;
	// The last reference but those of the window's own handlers may go here, after the user closed it.
	~BrowserWindow();

	const BrowserWindowHandle& handle() const { return owner_->handle(); }
	const BrowserWindowHandle* operator->() const { return &owner_->handle(); }
	const ApplicationHandle& app_handle() const { return handle().app_handle(); }
	const WindowHandle& window() const { return handle().window(); }

	MessageEvent on_message() const { return MessageEvent(owner_); }

	[[noreturn]] UnsupportedEvent on_address_changed() const;
	[[noreturn]] UnsupportedEvent on_console_message() const;
	[[noreturn]] UnsupportedEvent on_fullscreen_mode_changed() const;
	[[noreturn]] UnsupportedEvent on_loading_progress_changed() const;
	[[noreturn]] UnsupportedEvent on_navigation_end() const;
	[[noreturn]] UnsupportedEvent on_navigation_start() const;
	[[noreturn]] UnsupportedEvent on_page_title_changed() const;
	[[noreturn]] UnsupportedEvent on_status_message() const;
	[[noreturn]] UnsupportedEvent on_tooltip() const;
	[[noreturn]] UnsupportedEvent on_auth_credentials() const;
	[[noreturn]] UnsupportedEvent on_certificate_error() const;
	[[noreturn]] UnsupportedEvent on_download_progress() const;
	[[noreturn]] UnsupportedEvent on_download_started() const;
	[[noreturn]] UnsupportedEvent on_favicon_changed() const;
	[[noreturn]] UnsupportedEvent on_file_dialog() const;
	[[noreturn]] UnsupportedEvent on_key_press() const;
	[[noreturn]] UnsupportedEvent on_key_pressed() const;
	[[noreturn]] UnsupportedEvent on_scroll_offset_changed() const;
	[[noreturn]] UnsupportedEvent on_select_client_certificate() const;
	[[noreturn]] UnsupportedEvent on_start_dragging() const;
	[[noreturn]] UnsupportedEvent on_text_selection_changed() const;

	const std::shared_ptr<BrowserWindowOwner>& owner() const { return owner_; }

private:
	[[noreturn]] UnsupportedEvent engine_event() const;

	std::shared_ptr<BrowserWindowOwner> owner_;
};

// Makes the counted owner and the window attachment around a browser window the engine announced.
BrowserWindow prepare_handle(BrowserWindowHandle handle);

} // namespace bw
