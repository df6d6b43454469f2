// The seam between browser windows and the browser engine. The functions of BrowserWindowImpl are
// defined by the engine binding the build links in (WebView2 on Windows, WebKitGTK on Linux); the
// rest of the framework is written against this header only.
#pragma once

#include "application/task.hpp"
#include "browser/page_capabilities.hpp"
#include "browser/source.hpp"
#include "core/application.hpp"
#include "core/error.hpp"
#include "core/window.hpp"
#include "javascript/js_value.hpp"

#include <bw/browser_window.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace bw {

class BrowserWindow;
class BrowserWindowHandle;
class BrowserWindowOwner;

// A script that could not be run, or that threw.
struct JsEvaluationError {
	std::string message;
	friend bool operator==(const JsEvaluationError&, const JsEvaluationError&) = default;
};

// What a script evaluated to, or why it did not.
using JsEvalResult = std::variant<JsValue, JsEvaluationError>;

// A message the page sent with invoke_extern(cmd, ...args).
struct MessageEventArgs {
	std::string cmd;
	std::vector<JsValue> args;
	// The address of the document that sent it, and that address's origin ("http://host:port";
	// "null" for one without, such as a data: URL). A program that trusts only some pages checks
	// these before acting on the message.
	std::string source;
	std::string origin;
};

// A handler of page messages: called with the window's handle, or, asynchronously, with a counted
// reference to the window, returning a task that the application runs.
using SyncMessageHandler = std::function<void(BrowserWindowHandle, MessageEventArgs)>;
using AsyncMessageHandler = std::function<Task<>(BrowserWindow, MessageEventArgs)>;
using EventHandler = std::variant<SyncMessageHandler, AsyncMessageHandler>;

struct CrossThreadBrowser;

// The engine binding's handle of one browser window: the lower-layer record. Owns nothing.
class BrowserWindowImpl {
public:
	using CreationCallback = void (*)(BrowserWindowImpl browser, void* data);
	// Called exactly once per evaluation, on the GUI thread, also when the script could not run.
	using EvalJsCallback = void (*)(BrowserWindowImpl browser, void* data, JsEvalResult result);

	explicit BrowserWindowImpl(bw_BrowserWindow* inner) : inner_(inner) {}

	// Makes the record and its hidden native window at once, then starts the engine; once the first
	// navigation has completed (successfully or not) the callback is called once on the GUI thread.
	// The capabilities are kept for as long as the engine's objects.
	static void new_(ApplicationImpl app, WindowImpl parent, Source source, std::string_view title, std::optional<uint32_t> width,
	                 std::optional<uint32_t> height, const bw_WindowOptions& window_options, const bw_BrowserWindowOptions& browser_options,
	                 std::shared_ptr<const PageCapabilities> capabilities, CreationCallback callback, void* callback_data);

	// GUI thread.
	void eval_js(std::string_view script, EvalJsCallback callback, void* callback_data) const;
	// Any thread: the work is carried to the GUI thread, where eval_js runs it while the window still
	// exists; otherwise the callback gets an evaluation error there. When the loop no longer runs the
	// callback gets the error at once, on the calling thread. The same for every engine.
	static void eval_js_threadsafe(const CrossThreadBrowser& target, std::string_view script, EvalJsCallback callback, void* callback_data);
	Result<std::monostate> navigate(std::string_view url) const;
	// The view's current address; empty when the engine cannot tell.
	std::string url() const;
	// Loads the current page again.
	void reload() const;
	bool find(std::string_view text) const;
	void print() const;
	// The page's zoom factor (1 is 100 %), and setting it; factors are kept within 0.25 to 5.
	double zoom() const;
	void set_zoom(double factor) const;
	// Whether the first navigation (to the builder's source) succeeded; known once the window has
	// been announced.
	bool source_loaded() const;
	WindowImpl window() const { return WindowImpl(inner_->window); }
	// Releases the engine's objects; the native window is freed separately.
	void free() const;

	// Installs the handler of page messages. The owner must exist.
	static void register_message_handler(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler);

	bw_BrowserWindow* inner() const { return inner_; }
	bool operator==(const BrowserWindowImpl&) const = default;

private:
	bw_BrowserWindow* inner_;
};

// Whether a browser window still exists, readable from any thread. Made on the GUI thread with the
// window's handle; the owner clears it before it frees anything.
using AliveFlag = std::shared_ptr<std::atomic<bool>>;

// What another thread needs to reach a browser window, all taken on the GUI thread while the window
// existed: the calling thread reads nothing of the record, which may be freed, and its address
// reused by a new window, before the work arrives.
struct CrossThreadBrowser {
	ApplicationImpl app;
	BrowserWindowImpl browser;
	AliveFlag alive;
};

} // namespace bw
