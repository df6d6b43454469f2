#include "engine.hpp"

#include "objects.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace standin {
namespace {

constexpr wchar_t task_window_class[] = L"WebView2StandInTasks";
constexpr UINT run_task_message = WM_USER + 1;

LRESULT CALLBACK task_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
	if (msg == run_task_message) {
		Engine::get().run_task(static_cast<uint64_t>(wp));
		return 0;
	}
	return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK host_window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
	if (msg == WM_NCDESTROY) {
		if (auto* slot = reinterpret_cast<HWND*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) *slot = nullptr;
	}
	return DefWindowProcW(hwnd, msg, wp, lp);
}

HINSTANCE this_module() {
	HMODULE module = nullptr;
	GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
	    reinterpret_cast<LPCWSTR>(&task_window_proc), &module);
	return module;
}

void register_class(HINSTANCE module, const wchar_t* name, WNDPROC proc) {
	WNDCLASSEXW wc{};
	wc.cbSize = sizeof wc;
	wc.lpfnWndProc = proc;
	wc.hInstance = module;
	wc.lpszClassName = name;
	RegisterClassExW(&wc);
}

// Each thread that uses the engine gets its own message-only window, so that work posted on a thread
// runs on that thread.
HWND task_window() {
	thread_local HWND window = nullptr;
	if (window == nullptr || !IsWindow(window)) {
		window = CreateWindowExW(0, task_window_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Engine::get().module(), nullptr);
	}
	return window;
}

} // namespace

Object::Object(const char* kind) : kind_(kind), serial_(Engine::get().next_serial()), thread_(GetCurrentThreadId()) {
	Engine::get().born(this);
}

ULONG Object::add_ref() {
	if (dead_) {
		Engine::get().violation(std::string("AddRef on released ") + kind_);
		return 0;
	}
	return ++refs_;
}

ULONG Object::release() {
	if (dead_) {
		Engine::get().violation(std::string("Release on released ") + kind_ + " (one release too many)");
		return 0;
	}
	ULONG left = --refs_;
	if (left == 0) {
		dead_ = true;
		if (GetCurrentThreadId() != thread_) Engine::get().violation(std::string("last Release of ") + kind_ + " on another thread");
		on_final_release();
		Engine::get().bury(this);
	}
	return left;
}

HRESULT Object::enter(const char* method) const {
	if (dead_) {
		Engine::get().violation(std::string(method) + " called on released " + kind_);
		return E_UNEXPECTED;
	}
	if (GetCurrentThreadId() != thread_) {
		Engine::get().violation(std::string(method) + " called on " + kind_ + " from another thread");
		return RPC_E_WRONG_THREAD;
	}
	return S_OK;
}

namespace {

std::wstring environment(const wchar_t* name) {
	wchar_t value[1024];
	DWORD length = GetEnvironmentVariableW(name, value, 1024);
	return length == 0 || length >= 1024 ? std::wstring() : std::wstring(value, length);
}

} // namespace

Engine::Engine() : module_(this_module()), version_(L"138.0.3351.48") {
	register_class(module_, task_window_class, task_window_proc);
	register_class(module_, host_window_class, host_window_proc);
	// Out of process, the test configures the engine through the environment:
	// WEBVIEW2_STANDIN_NAVIGATION=probe|fail|succeed, WEBVIEW2_STANDIN_LOG=<file>,
	// WEBVIEW2_STANDIN_TRACE=<file> and STANDIN_PAGE_ACTIONS (see standin_control.h).
	std::wstring mode = environment(L"WEBVIEW2_STANDIN_NAVIGATION");
	if (mode == L"probe") default_mode_ = NavigationMode::Probe;
	if (mode == L"fail") default_mode_ = NavigationMode::Fail;
	log_file_ = environment(L"WEBVIEW2_STANDIN_LOG");
	trace_file_ = environment(L"WEBVIEW2_STANDIN_TRACE");
	page_actions_ = environment(L"STANDIN_PAGE_ACTIONS");
}

std::wstring Engine::take_page_actions() {
	std::lock_guard lock(mutex_);
	return std::exchange(page_actions_, std::wstring());
}

void Engine::append_to_file(const std::wstring& path, const std::string& line) {
	if (path.empty()) return;
	if (FILE* file = _wfopen(path.c_str(), L"ab")) {
		std::fprintf(file, "%s\n", line.c_str());
		std::fclose(file);
	}
}

Engine& Engine::get() {
	// Never destroyed: objects the caller still holds at exit must not find it gone.
	static Engine* engine = new Engine();
	return *engine;
}

void Engine::reset() {
	std::map<uint64_t, std::function<void()>> tasks;
	std::vector<std::unique_ptr<Object>> graveyard;
	{
		std::lock_guard lock(mutex_);
		tasks.swap(tasks_);
		graveyard.swap(graveyard_);
		log_.clear();
		violations_.clear();
		failures_.clear();
		default_mode_ = NavigationMode::Succeed;
		rules_.clear();
		version_ = L"138.0.3351.48";
		navigation_id_ = 0;
		script_id_ = 0;
		token_ = 0;
	}
	// Dropping the tasks releases what they hold, which may bury more objects; those stay until the
	// next reset.
	tasks.clear();
	graveyard.clear();
}

void Engine::record_call(std::string line) {
	std::lock_guard lock(mutex_);
	append_to_file(log_file_, line);
	append_to_file(trace_file_, line);
	log_.push_back({false, std::move(line)});
}

void Engine::record_event(std::string line) {
	std::lock_guard lock(mutex_);
	append_to_file(trace_file_, "> " + line);
	log_.push_back({true, "> " + std::move(line)});
}

void Engine::violation(std::string text) {
	std::fprintf(stderr, "webview2 stand-in: %s\n", text.c_str());
	std::lock_guard lock(mutex_);
	violations_.push_back(std::move(text));
}

std::string Engine::call_log() {
	std::lock_guard lock(mutex_);
	std::string text;
	for (auto& entry : log_) {
		if (!entry.event) text += entry.text + "\n";
	}
	return text;
}

std::string Engine::trace() {
	std::lock_guard lock(mutex_);
	std::string text;
	for (auto& entry : log_) text += entry.text + "\n";
	return text;
}

std::string Engine::violations() {
	std::lock_guard lock(mutex_);
	std::string text;
	for (auto& line : violations_) text += line + "\n";
	return text;
}

HRESULT Engine::failure(std::string_view step) {
	std::lock_guard lock(mutex_);
	auto found = failures_.find(step);
	if (found == failures_.end()) return S_OK;
	HRESULT hr = found->second.hr;
	if (found->second.once) failures_.erase(found);
	return hr;
}

void Engine::fail_step(std::string step, HRESULT hr, bool once) {
	std::lock_guard lock(mutex_);
	if (hr == S_OK) {
		failures_.erase(step);
	} else {
		failures_[std::move(step)] = {hr, once};
	}
}

NavigationMode Engine::navigation_mode(std::wstring_view url) {
	std::lock_guard lock(mutex_);
	// The longest matching prefix decides; the latest rule wins among equal ones.
	NavigationMode mode = default_mode_;
	size_t matched = 0;
	for (auto& [prefix, rule_mode] : rules_) {
		if (url.substr(0, prefix.size()) == prefix && prefix.size() >= matched) {
			mode = rule_mode;
			matched = prefix.size();
		}
	}
	return mode;
}

void Engine::set_navigation_mode(NavigationMode mode) {
	std::lock_guard lock(mutex_);
	default_mode_ = mode;
}

void Engine::set_navigation_rule(std::wstring prefix, NavigationMode mode) {
	std::lock_guard lock(mutex_);
	rules_.emplace_back(std::move(prefix), mode);
}

std::optional<std::wstring> Engine::browser_version() {
	std::lock_guard lock(mutex_);
	return version_;
}

void Engine::set_browser_version(std::optional<std::wstring> version) {
	std::lock_guard lock(mutex_);
	version_ = std::move(version);
}

void Engine::post(std::function<void()> task) {
	HWND window = task_window();
	uint64_t id;
	{
		std::lock_guard lock(mutex_);
		id = ++next_task_;
		tasks_.emplace(id, std::move(task));
	}
	if (window == nullptr || !PostMessageW(window, run_task_message, static_cast<WPARAM>(id), 0)) {
		violation("cannot post to the calling thread's message queue");
		std::function<void()> lost;
		std::lock_guard lock(mutex_);
		auto found = tasks_.find(id);
		if (found != tasks_.end()) {
			lost = std::move(found->second);
			tasks_.erase(found);
		}
	}
}

void Engine::run_task(uint64_t id) {
	std::function<void()> task;
	{
		std::lock_guard lock(mutex_);
		auto found = tasks_.find(id);
		if (found == tasks_.end()) return;
		task = std::move(found->second);
		tasks_.erase(found);
	}
	task();
}

int Engine::pending_tasks() {
	std::lock_guard lock(mutex_);
	return static_cast<int>(tasks_.size());
}

void Engine::born(Object* object) {
	std::lock_guard lock(mutex_);
	live_[object->serial()] = object;
}

void Engine::bury(Object* object) {
	std::lock_guard lock(mutex_);
	live_.erase(object->serial());
	graveyard_.emplace_back(object);
}

int Engine::live_objects() {
	std::lock_guard lock(mutex_);
	return static_cast<int>(live_.size());
}

std::string Engine::live_object_list() {
	std::lock_guard lock(mutex_);
	std::string text;
	for (auto& [serial, object] : live_) {
		text += std::string(object->kind()) + " #" + std::to_string(serial) + " refs=" + std::to_string(object->refs()) + "\n";
	}
	return text;
}

void Engine::webview_opened(WebView* webview) {
	std::lock_guard lock(mutex_);
	webviews_.push_back(webview);
}

void Engine::webview_closed(WebView* webview) {
	std::lock_guard lock(mutex_);
	webviews_.erase(std::remove(webviews_.begin(), webviews_.end(), webview), webviews_.end());
}

Ref<WebView> Engine::latest_webview() {
	std::lock_guard lock(mutex_);
	if (webviews_.empty()) return {};
	return Ref<WebView>::share(webviews_.back());
}

bool Engine::webview_open(const WebView* webview) {
	std::lock_guard lock(mutex_);
	return std::find(webviews_.begin(), webviews_.end(), webview) != webviews_.end();
}

uint64_t Engine::next_serial() {
	std::lock_guard lock(mutex_);
	return ++serial_;
}

uint64_t Engine::next_navigation_id() {
	std::lock_guard lock(mutex_);
	return ++navigation_id_;
}

uint64_t Engine::next_script_id() {
	std::lock_guard lock(mutex_);
	return ++script_id_;
}

int64_t Engine::next_token() {
	std::lock_guard lock(mutex_);
	return ++token_;
}

HWND create_host_window(HWND parent, HWND* slot) {
	HWND window = CreateWindowExW(0, host_window_class, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent, nullptr,
	    Engine::get().module(), nullptr);
	if (window != nullptr) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(slot));
	*slot = window;
	return window;
}

} // namespace standin
