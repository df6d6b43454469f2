// The engine's shared state: the call log, violations, injected failures, navigation rules, the
// registry of live objects and the queue that delivers completions and events later, through the
// calling thread's message loop.
#pragma once

#include "com_object.hpp"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class WebView;

// Navigation outcomes; the numbers are those of the control interface. A navigation that never
// answers stays in progress until it is stopped or another one replaces it.
enum class NavigationMode { Fail = 0, Succeed = 1, Probe = 2, NeverAnswers = 3 };

class Engine {
public:
	static Engine& get();

	void reset();

	void record_call(std::string line);
	// Something the engine delivered (a completion or an event); only in the trace.
	void record_event(std::string line);
	void violation(std::string text);
	std::string call_log();
	std::string trace();
	std::string violations();

	// The injected failure for a step, or S_OK. A one-time failure is used up here.
	HRESULT failure(std::string_view step);
	void fail_step(std::string step, HRESULT hr, bool once);

	NavigationMode navigation_mode(std::wstring_view url);
	void set_navigation_mode(NavigationMode mode);
	void set_navigation_rule(std::wstring prefix, NavigationMode mode);

	// The installed runtime's version; none when no runtime is installed.
	std::optional<std::wstring> browser_version();
	void set_browser_version(std::optional<std::wstring> version);

	// Runs the task later on the calling thread, from its message loop; never before returning.
	void post(std::function<void()> task);
	void run_task(uint64_t id);
	int pending_tasks();

	void born(Object* object);
	void bury(Object* object);
	int live_objects();
	std::string live_object_list();

	void webview_opened(WebView* webview);
	void webview_closed(WebView* webview);
	// The most recently created webview that is still open (it gets a new reference), for the
	// controls that act as the page.
	Ref<WebView> latest_webview();
	bool webview_open(const WebView* webview);

	uint64_t next_serial();
	uint64_t next_navigation_id();
	uint64_t next_script_id();
	int64_t next_token();

	HINSTANCE module() const { return module_; }

	// The page actions from the environment, once: empty on every later call.
	std::wstring take_page_actions();

private:
	static void append_to_file(const std::wstring& path, const std::string& line);

	Engine();

	struct Failure {
		HRESULT hr;
		bool once;
	};
	struct Entry {
		bool event;
		std::string text;
	};

	HINSTANCE module_ = nullptr;
	std::mutex mutex_;
	std::vector<Entry> log_;
	std::vector<std::string> violations_;
	std::map<std::string, Failure, std::less<>> failures_;
	NavigationMode default_mode_ = NavigationMode::Succeed;
	// Set from the environment, for a program that loads the engine in a process of its own (the
	// launcher under test): the file every call line is appended to.
	std::wstring log_file_;
	// Likewise the file the trace goes to, and the page's actions after its first web page.
	std::wstring trace_file_;
	std::wstring page_actions_;
	std::vector<std::pair<std::wstring, NavigationMode>> rules_;
	std::optional<std::wstring> version_;
	std::map<uint64_t, std::function<void()>> tasks_;
	uint64_t next_task_ = 0;
	std::map<uint64_t, Object*> live_;
	std::vector<std::unique_ptr<Object>> graveyard_;
	std::vector<WebView*> webviews_;
	uint64_t serial_ = 0;
	uint64_t navigation_id_ = 0;
	uint64_t script_id_ = 0;
	int64_t token_ = 0;
};

// The caller's object behind a handler pointer, reached through QueryInterface as the engine does;
// a handler that does not answer for its own interface is recorded as a violation (empty result).
template <class T>
Ref<T> query_handler(T* handler, const IID& iid, const char* what) {
	void* out = reinterpret_cast<void*>(1);
	HRESULT hr = handler->QueryInterface(iid, &out);
	if (FAILED(hr) || out == nullptr) {
		Engine::get().violation(std::string(what) + " does not answer QueryInterface for its own interface");
		if (FAILED(hr) && out != nullptr) Engine::get().violation(std::string(what) + " left the out pointer set on failure");
		return {};
	}
	return Ref<T>::adopt(static_cast<T*>(out));
}

// Window class of the child window each controller makes inside its parent.
inline constexpr wchar_t host_window_class[] = L"WebView2StandInHost";

// Creates the child window that stands for the engine's view inside parent. *slot holds it and is
// cleared when the window goes, also when its parent takes it along.
HWND create_host_window(HWND parent, HWND* slot);

} // namespace standin
