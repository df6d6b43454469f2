#include "support/test_engine.hpp"

#include "browser/builder/browser_window_builder.hpp"
#include "core/browser_window/message_delivery.hpp"

#include <map>
#include <memory>

namespace bw::test_engine {

namespace {

struct Pending {
	BrowserWindowImpl browser;
	BrowserWindowImpl::CreationCallback callback;
	void* data;
};

struct State {
	Log log;
	bool announce = true;
	std::vector<Pending> pending;
	std::map<bw_BrowserWindow*, std::string> urls;
	std::map<bw_BrowserWindow*, std::pair<std::weak_ptr<BrowserWindowOwner>, std::shared_ptr<EventHandler>>> handlers;
};

State& state() {
	static State instance;
	return instance;
}

void announce(const Pending& pending) {
	bw_BrowserWindow* record = pending.browser.inner();
	record->impl_.controller = new int(1);
	record->impl_.webview = new int(2);
	state().log.live_engines++;
	state().log.calls.push_back("announce");
	pending.callback(pending.browser, pending.data);
}

std::string describe(const Source& source) {
	if (const auto* html = std::get_if<Source::Html>(&source.value)) return "Html:" + html->html;
	if (const auto* file = std::get_if<Source::File>(&source.value)) return "File:" + file->path.string();
	return "Url:" + std::get<Source::Url>(source.value).url;
}

} // namespace

Log& log() { return state().log; }

void reset() { state() = State(); }

void set_announce(bool value) { state().announce = value; }

void announce_pending() {
	std::vector<Pending> pending = std::move(state().pending);
	for (const Pending& each : pending) announce(each);
}

void drop_pending() {
	std::vector<Pending> pending = std::move(state().pending);
	for (const Pending& each : pending) delete static_cast<BrowserWindowBuilder::OnCreated*>(each.data);
}

void post_message(bw_BrowserWindow* browser, const std::string& json) {
	auto found = state().handlers.find(browser);
	if (found == state().handlers.end()) return;
	deliver_message_json(found->second.first, *found->second.second, json, state().urls[browser]);
}

} // namespace bw::test_engine

namespace bw {

using test_engine::describe;
using test_engine::state;

void BrowserWindowImpl::new_(ApplicationImpl app, WindowImpl parent, Source source, std::string_view title, std::optional<uint32_t> width,
                             std::optional<uint32_t> height, const bw_WindowOptions& window_options, const bw_BrowserWindowOptions& browser_options,
                             std::shared_ptr<const PageCapabilities> capabilities, CreationCallback callback, void* callback_data) {
	(void)capabilities;
	std::string title_text(title);
	bw_BrowserWindow* record = bw_BrowserWindow_new(app.inner(), parent.inner(), bw_CStrSlice{title_text.size(), title_text.data()},
	                                                window_size_argument(width), window_size_argument(height), &window_options);
	state().log.calls.push_back("new " + describe(source) + " title=" + title_text + " width=" + std::to_string(window_size_argument(width)) +
	                            " height=" + std::to_string(window_size_argument(height)) + " dev_tools=" + std::to_string(browser_options.dev_tools) +
	                            " resource_path=" + std::to_string(browser_options.resource_path.len));
	test_engine::Pending pending{BrowserWindowImpl(record), callback, callback_data};
	if (!state().announce) {
		state().pending.push_back(pending);
		return;
	}
	// One step later, as an engine's completion arrives through the loop.
	ApplicationHandle(app).dispatch([pending] { test_engine::announce(pending); });
}

void BrowserWindowImpl::eval_js(std::string_view script, EvalJsCallback callback, void* callback_data) const {
	state().log.calls.push_back("eval_js " + std::string(script));
	BrowserWindowImpl self = *this;
	std::string text(script);
	ApplicationHandle(ApplicationImpl(bw_BrowserWindow_getApp(inner_))).dispatch([self, text, callback, callback_data] {
		if (text.rfind("throw", 0) == 0)
			callback(self, callback_data, JsEvaluationError{"Error: " + text});
		else
			callback(self, callback_data, JsValue::from_json(text));
	});
}

Result<std::monostate> BrowserWindowImpl::navigate(std::string_view url) const {
	state().log.calls.push_back("navigate " + std::string(url));
	state().urls[inner_] = std::string(url);
	return std::monostate();
}

std::string BrowserWindowImpl::url() const { return state().urls[inner_]; }

bool BrowserWindowImpl::source_loaded() const { return true; }

void BrowserWindowImpl::reload() const { state().log.calls.push_back("reload"); }

double BrowserWindowImpl::zoom() const {
	state().log.calls.push_back("zoom");
	return 1.0;
}

void BrowserWindowImpl::set_zoom(double factor) const { state().log.calls.push_back("set_zoom " + std::to_string(factor)); }

void BrowserWindowImpl::free() const {
	state().log.calls.push_back("free");
	delete static_cast<int*>(inner_->impl_.controller);
	delete static_cast<int*>(inner_->impl_.webview);
	inner_->impl_ = bw_BrowserWindowImpl{nullptr, nullptr};
	state().log.live_engines--;
	state().urls.erase(inner_);
	state().handlers.erase(inner_);
}

void BrowserWindowImpl::register_message_handler(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	state().handlers[strong->handle().inner().inner()] = {owner, std::move(handler)};
}

} // namespace bw

namespace {

void count_resize(bw_Window* window) {
	bw_BrowserWindow* browser = bw_Window_getBrowser(window);
	if (browser != nullptr && browser->impl_.controller != nullptr)
		bw::test_engine::state().log.resizes++;
	else
		bw::test_engine::state().log.resizes_without_browser++;
}

} // namespace

// The resize hooks of both platforms; the lower layer calls its own.
extern "C" void bw_WindowWin32_onResize(bw_Window* window, int, int, int, int) { count_resize(window); }
extern "C" void bw_WindowGtk_onResize(bw_Window* window, int, int, int, int) { count_resize(window); }
