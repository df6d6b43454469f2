// The stand-in WebView2 engine, driven the way the binding drives the real one: loaded with
// LoadLibraryW, reached through the ABI header, on a thread with a plain GetMessageW loop.
#include <winsock2.h>

#include "core/browser_window/edge2/webview2_abi.hpp"
#include "standin_control.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

// A completion or event handler calling a function; counts its references and invocations.
template <class Interface, const IID& iid, class... Args>
class Handler final : public Interface {
public:
	explicit Handler(std::function<HRESULT(Args...)> function) : function_(std::move(function)) {}

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
		if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid)) {
			*out = static_cast<Interface*>(this);
			AddRef();
			return S_OK;
		}
		*out = nullptr;
		return E_NOINTERFACE;
	}
	ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
	ULONG STDMETHODCALLTYPE Release() override {
		ULONG left = --refs_;
		if (left == 0) delete this;
		return left;
	}
	HRESULT STDMETHODCALLTYPE Invoke(Args... args) override {
		++calls;
		return function_(args...);
	}

	ULONG refs() const { return refs_; }
	int calls = 0;

private:
	std::function<HRESULT(Args...)> function_;
	// The first reference is taken by the ComPtr that make() returns.
	std::atomic<ULONG> refs_{0};
};

using EnvironmentHandler = Handler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
    IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT, ICoreWebView2Environment*>;
using ControllerHandler = Handler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
    IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>;
using ScriptHandler = Handler<ICoreWebView2ExecuteScriptCompletedHandler, IID_ICoreWebView2ExecuteScriptCompletedHandler, HRESULT, LPCWSTR>;
using ScriptResultHandler = Handler<ICoreWebView2ExecuteScriptWithResultCompletedHandler, IID_ICoreWebView2ExecuteScriptWithResultCompletedHandler,
    HRESULT, ICoreWebView2ExecuteScriptResult*>;
using AddScriptHandler = Handler<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
    IID_ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, HRESULT, LPCWSTR>;
using NavigationHandler = Handler<ICoreWebView2NavigationCompletedEventHandler, IID_ICoreWebView2NavigationCompletedEventHandler,
    ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*>;
using MessageHandler = Handler<ICoreWebView2WebMessageReceivedEventHandler, IID_ICoreWebView2WebMessageReceivedEventHandler,
    ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>;
using StartingHandler = Handler<ICoreWebView2NavigationStartingEventHandler, IID_ICoreWebView2NavigationStartingEventHandler, ICoreWebView2*,
    ICoreWebView2NavigationStartingEventArgs*>;
using DownloadHandler = Handler<ICoreWebView2DownloadStartingEventHandler, IID_ICoreWebView2DownloadStartingEventHandler, ICoreWebView2*,
    ICoreWebView2DownloadStartingEventArgs*>;

template <class T, class... A>
ComPtr<T> make(A&&... args) {
	return ComPtr<T>(new T(std::forward<A>(args)...));
}

class Options final : public ICoreWebView2EnvironmentOptions {
public:
	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
		if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ICoreWebView2EnvironmentOptions)) {
			*out = static_cast<ICoreWebView2EnvironmentOptions*>(this);
			AddRef();
			return S_OK;
		}
		*out = nullptr;
		return E_NOINTERFACE;
	}
	ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
	ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
	HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override { return null_text(value); }
	HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override { return null_text(value); }
	HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override {
		*value = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof L"89.0.765"));
		std::memcpy(*value, L"89.0.765", sizeof L"89.0.765");
		return S_OK;
	}
	HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR) override { return E_NOTIMPL; }
	HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override {
		*allow = FALSE;
		return S_OK;
	}
	HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL) override { return E_NOTIMPL; }

	ULONG refs() const { return refs_; }

private:
	static HRESULT null_text(LPWSTR* value) {
		*value = nullptr;
		return S_OK;
	}
	ULONG refs_ = 1;
};

template <class Fn>
Fn export_of(HMODULE module, const char* name) {
	return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Runs the thread's message loop until done() holds or the time is up.
bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
	UINT_PTR tick = SetTimer(nullptr, 0, 10, nullptr);
	DWORD start = GetTickCount();
	MSG msg;
	while (!done() && GetTickCount() - start < timeout_ms && GetMessageW(&msg, nullptr, 0, 0) > 0) {
		TranslateMessage(&msg);
		DispatchMessageW(&msg);
	}
	KillTimer(nullptr, tick);
	return done();
}

void pump_idle() { EXPECT_TRUE(pump_until([] { return StandIn_PendingDeliveries() == 0; })); }

std::vector<std::string> lines(const char* text) {
	std::vector<std::string> result;
	std::string line;
	for (const char* c = text; *c != '\0'; ++c) {
		if (*c == '\n') {
			result.push_back(line);
			line.clear();
		} else {
			line += *c;
		}
	}
	return result;
}

std::wstring take(LPWSTR text) {
	std::wstring copy = text == nullptr ? L"(null)" : text;
	CoTaskMemFree(text);
	return copy;
}

// The binding's bridge script.
const wchar_t bridge[] = L"\n\t\t\t\t\t\tfunction invoke_extern(...args) {\n\t\t\t\t\t\t\twindow.chrome.webview.postMessage([].slice.call(args));"
                         L"\n\t\t\t\t\t\t}\n\t\t\t\t\t";

// The vtable slot of a virtual method: under the Itanium C++ ABI a pointer to a virtual member
// function holds 1 + the slot's byte offset.
template <class Method>
size_t slot_of(Method method) {
	struct {
		uintptr_t ptr;
		ptrdiff_t adjust;
	} raw;
	static_assert(sizeof raw == sizeof method);
	std::memcpy(&raw, &method, sizeof raw);
	EXPECT_EQ(raw.ptr & 1, 1u) << "not a virtual method";
	return (raw.ptr - 1) / sizeof(void*);
}

TEST(WebView2Abi, DeclaredSlotsAreTheEngines) {
	EXPECT_EQ(slot_of(&ICoreWebView2Environment::CreateCoreWebView2Controller), 3u);
	EXPECT_EQ(slot_of(&ICoreWebView2Environment::remove_NewBrowserVersionAvailable), 7u);

	EXPECT_EQ(slot_of(&ICoreWebView2Controller::put_IsVisible), 4u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller::put_Bounds), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller::Close), 24u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller::get_CoreWebView2), 25u);

	EXPECT_EQ(slot_of(&ICoreWebView2::get_Settings), 3u);
	EXPECT_EQ(slot_of(&ICoreWebView2::get_Source), 4u);
	EXPECT_EQ(slot_of(&ICoreWebView2::Navigate), 5u);
	EXPECT_EQ(slot_of(&ICoreWebView2::NavigateToString), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2::add_NavigationCompleted), 15u);
	EXPECT_EQ(slot_of(&ICoreWebView2::remove_NavigationCompleted), 16u);
	EXPECT_EQ(slot_of(&ICoreWebView2::AddScriptToExecuteOnDocumentCreated), 27u);
	EXPECT_EQ(slot_of(&ICoreWebView2::ExecuteScript), 29u);
	EXPECT_EQ(slot_of(&ICoreWebView2::add_WebMessageReceived), 34u);
	EXPECT_EQ(slot_of(&ICoreWebView2::remove_WebMessageReceived), 35u);
	EXPECT_EQ(slot_of(&ICoreWebView2::remove_WindowCloseRequested), 60u);

	EXPECT_EQ(slot_of(&ICoreWebView2Settings::put_IsScriptEnabled), 4u);
	EXPECT_EQ(slot_of(&ICoreWebView2Settings::put_IsWebMessageEnabled), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2Settings::put_AreDefaultScriptDialogsEnabled), 8u);
	EXPECT_EQ(slot_of(&ICoreWebView2Settings::put_AreDevToolsEnabled), 12u);
	EXPECT_EQ(slot_of(&ICoreWebView2Settings::put_IsBuiltInErrorPageEnabled), 20u);

	EXPECT_EQ(slot_of(&ICoreWebView2EnvironmentOptions::get_TargetCompatibleBrowserVersion), 7u);
	EXPECT_EQ(slot_of(&ICoreWebView2EnvironmentOptions::put_AllowSingleSignOnUsingOSPrimaryAccount), 10u);
	EXPECT_EQ(slot_of(&ICoreWebView2NavigationCompletedEventArgs::get_NavigationId), 5u);
	EXPECT_EQ(slot_of(&ICoreWebView2WebMessageReceivedEventArgs::get_WebMessageAsJson), 4u);
	EXPECT_EQ(slot_of(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString), 5u);
	EXPECT_EQ(slot_of(&ICoreWebView2ExecuteScriptCompletedHandler::Invoke), 3u);

	EXPECT_EQ(slot_of(&ICoreWebView2_21::ExecuteScriptWithResult), 122u);
	EXPECT_EQ(slot_of(&ICoreWebView2_16::ShowPrintUI), 114u);
	EXPECT_EQ(slot_of(&ICoreWebView2ExecuteScriptWithResultCompletedHandler::Invoke), 3u);
	EXPECT_EQ(slot_of(&ICoreWebView2ExecuteScriptResult::get_Succeeded), 3u);
	EXPECT_EQ(slot_of(&ICoreWebView2ExecuteScriptResult::get_Exception), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2ScriptException::get_Name), 5u);
	EXPECT_EQ(slot_of(&ICoreWebView2ScriptException::get_ToJson), 7u);

	EXPECT_EQ(slot_of(&ICoreWebView2::add_NavigationStarting), 7u);
	EXPECT_EQ(slot_of(&ICoreWebView2::add_ProcessFailed), 25u);
	EXPECT_EQ(slot_of(&ICoreWebView2::Reload), 31u);
	EXPECT_EQ(slot_of(&ICoreWebView2::Stop), 43u);
	EXPECT_EQ(slot_of(&ICoreWebView2::add_NewWindowRequested), 44u);
	EXPECT_EQ(slot_of(&ICoreWebView2_4::add_DownloadStarting), 75u);
	EXPECT_EQ(slot_of(&ICoreWebView2_4::remove_DownloadStarting), 76u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller::put_ZoomFactor), 8u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller::add_ZoomFactorChanged), 9u);
	EXPECT_EQ(slot_of(&ICoreWebView2Controller2::put_DefaultBackgroundColor), 27u);
	EXPECT_EQ(slot_of(&ICoreWebView2NavigationStartingEventArgs::put_Cancel), 8u);
	EXPECT_EQ(slot_of(&ICoreWebView2NewWindowRequestedEventArgs::put_Handled), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2NewWindowRequestedEventArgs::get_IsUserInitiated), 8u);
	EXPECT_EQ(slot_of(&ICoreWebView2ProcessFailedEventArgs2::get_ProcessDescription), 6u);
	EXPECT_EQ(slot_of(&ICoreWebView2DownloadStartingEventArgs::put_ResultFilePath), 7u);
	EXPECT_EQ(slot_of(&ICoreWebView2DownloadStartingEventArgs::GetDeferral), 10u);
	EXPECT_EQ(slot_of(&ICoreWebView2DownloadOperation::add_StateChanged), 7u);
	EXPECT_EQ(slot_of(&ICoreWebView2DownloadOperation::get_ResultFilePath), 15u);
	EXPECT_EQ(slot_of(&ICoreWebView2DownloadOperation::get_InterruptReason), 17u);
}

class StandIn : public ::testing::Test {
protected:
	struct View {
		ComPtr<ICoreWebView2Controller> controller;
		ComPtr<ICoreWebView2> webview;
	};

	void SetUp() override {
		ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
		StandIn_Reset();
		module_ = LoadLibraryW(L"WebView2Loader.dll");
		ASSERT_NE(module_, nullptr);
		create_ = export_of<CreateCoreWebView2EnvironmentWithOptionsFn>(module_, "CreateCoreWebView2EnvironmentWithOptions");
		version_ = export_of<GetAvailableCoreWebView2BrowserVersionStringFn>(module_, "GetAvailableCoreWebView2BrowserVersionString");
		ASSERT_NE(create_, nullptr);
		ASSERT_NE(version_, nullptr);
		parent_ = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
		ASSERT_NE(parent_, nullptr);
	}

	void TearDown() override {
		pump_idle();
		EXPECT_EQ(StandIn_LiveObjects(), 0) << StandIn_LiveObjectList();
		EXPECT_STREQ(StandIn_Violations(), "");
		if (parent_ != nullptr) DestroyWindow(parent_);
		FreeLibrary(module_);
		CoUninitialize();
	}

	ComPtr<ICoreWebView2Environment> environment() {
		ComPtr<ICoreWebView2Environment> environment;
		auto handler = make<EnvironmentHandler>([&](HRESULT hr, ICoreWebView2Environment* created) {
			EXPECT_EQ(hr, S_OK);
			environment = created;
			return S_OK;
		});
		EXPECT_EQ(create_(nullptr, nullptr, nullptr, handler.Get()), S_OK);
		EXPECT_TRUE(pump_until([&] { return handler->calls > 0; }));
		return environment;
	}

	// A controller and its webview, ready for scripts, as the binding's creation leaves them.
	View view() {
		View view;
		auto handler = make<ControllerHandler>([&](HRESULT hr, ICoreWebView2Controller* created) {
			EXPECT_EQ(hr, S_OK);
			view.controller = created;
			return S_OK;
		});
		EXPECT_EQ(environment()->CreateCoreWebView2Controller(parent_, handler.Get()), S_OK);
		EXPECT_TRUE(pump_until([&] { return handler->calls > 0; }));
		if (view.controller) {
			EXPECT_EQ(view.controller->get_CoreWebView2(&view.webview), S_OK);
		}
		return view;
	}

	// Runs a script and waits for its completion.
	std::wstring execute(ICoreWebView2* webview, const wchar_t* script, HRESULT expected = S_OK) {
		std::wstring result = L"(no completion)";
		auto handler = make<ScriptHandler>([&](HRESULT hr, LPCWSTR json) {
			EXPECT_EQ(hr, expected);
			result = json == nullptr ? L"(null)" : json;
			return S_OK;
		});
		EXPECT_EQ(webview->ExecuteScript(script, handler.Get()), S_OK);
		EXPECT_EQ(handler->calls, 0) << "completed inside the call";
		EXPECT_TRUE(pump_until([&] { return handler->calls > 0; }));
		return result;
	}

	HMODULE module_ = nullptr;
	CreateCoreWebView2EnvironmentWithOptionsFn create_ = nullptr;
	GetAvailableCoreWebView2BrowserVersionStringFn version_ = nullptr;
	HWND parent_ = nullptr;
};

TEST_F(StandIn, CreationAnnouncesEveryStageLaterThroughTheMessageLoop) {
	Options options;
	ComPtr<ICoreWebView2Environment> environment;
	auto on_environment = make<EnvironmentHandler>([&](HRESULT hr, ICoreWebView2Environment* created) {
		EXPECT_EQ(hr, S_OK);
		environment = created;
		return S_OK;
	});
	ASSERT_EQ(create_(nullptr, nullptr, &options, on_environment.Get()), S_OK);
	EXPECT_EQ(on_environment->calls, 0);
	EXPECT_EQ(options.refs(), 1u);
	ASSERT_TRUE(pump_until([&] { return environment != nullptr; }));

	ComPtr<ICoreWebView2Controller> controller;
	auto on_controller = make<ControllerHandler>([&](HRESULT hr, ICoreWebView2Controller* created) {
		EXPECT_EQ(hr, S_OK);
		controller = created;
		return S_OK;
	});
	ASSERT_EQ(environment->CreateCoreWebView2Controller(parent_, on_controller.Get()), S_OK);
	EXPECT_EQ(on_controller->calls, 0);
	// The caller may drop the environment while the controller is being made.
	environment.Reset();
	ASSERT_TRUE(pump_until([&] { return controller != nullptr; }));

	ComPtr<ICoreWebView2> webview;
	ComPtr<ICoreWebView2Settings> settings;
	EXPECT_EQ(controller->put_IsVisible(TRUE), S_OK);
	ASSERT_EQ(controller->get_CoreWebView2(&webview), S_OK);
	ASSERT_EQ(webview->get_Settings(&settings), S_OK);
	settings->put_IsScriptEnabled(TRUE);
	settings->put_AreDefaultScriptDialogsEnabled(TRUE);
	settings->put_IsWebMessageEnabled(TRUE);
	settings->put_AreDevToolsEnabled(FALSE);
	EXPECT_EQ(controller->put_Bounds(RECT{0, 0, 300, 200}), S_OK);
	ASSERT_EQ(webview->Navigate(L"http://127.0.0.1:37338/"), S_OK);
	auto on_bridge = make<ScriptHandler>([](HRESULT, LPCWSTR) { return S_OK; });
	EXPECT_EQ(webview->ExecuteScript(bridge, on_bridge.Get()), S_OK);
	std::vector<std::string> completions;
	auto on_navigation = make<NavigationHandler>([&](ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) {
		EXPECT_EQ(sender, webview.Get());
		BOOL success = FALSE;
		UINT64 id = 0;
		args->get_IsSuccess(&success);
		args->get_NavigationId(&id);
		completions.push_back(std::to_string(id) + ":" + std::to_string(success));
		return S_OK;
	});
	EventRegistrationToken token;
	ASSERT_EQ(webview->add_NavigationCompleted(on_navigation.Get(), &token), S_OK);
	EXPECT_EQ(on_bridge->calls, 0);
	EXPECT_TRUE(completions.empty());
	ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
	EXPECT_EQ(on_bridge->calls, 1);

	EXPECT_EQ(completions, std::vector<std::string>{"1:1"});
	EXPECT_EQ(StandIn_Setting("AreDevToolsEnabled"), 0);
	EXPECT_EQ(StandIn_Setting("IsWebMessageEnabled"), 1);
	LPWSTR source = nullptr;
	ASSERT_EQ(webview->get_Source(&source), S_OK);
	EXPECT_EQ(take(source), L"http://127.0.0.1:37338/");

	// The engine's view is a child window of the parent, placed by put_Bounds.
	HWND host = FindWindowExW(parent_, nullptr, STANDIN_HOST_WINDOW_CLASS, nullptr);
	ASSERT_NE(host, nullptr);
	RECT rect;
	GetClientRect(host, &rect);
	EXPECT_EQ(rect.right, 300);
	EXPECT_EQ(rect.bottom, 200);

	std::string bridge_logged = "ExecuteScript(\\n\\t\\t\\t\\t\\t\\tfunction invoke_extern(...args) {\\n\\t\\t\\t\\t\\t\\t\\t"
	                            "window.chrome.webview.postMessage([].slice.call(args));\\n\\t\\t\\t\\t\\t\\t}\\n\\t\\t\\t\\t\\t)";
	EXPECT_EQ(lines(StandIn_CallLog()), (std::vector<std::string>{
	                                        "CreateCoreWebView2EnvironmentWithOptions(null,null,opts)",
	                                        "options.get_AdditionalBrowserArguments=null",
	                                        "options.get_Language=null",
	                                        "options.get_TargetCompatibleBrowserVersion=89.0.765",
	                                        "options.get_AllowSingleSignOnUsingOSPrimaryAccount=0",
	                                        "CreateCoreWebView2Controller(window)",
	                                        "put_IsVisible(1)",
	                                        "get_CoreWebView2",
	                                        "get_Settings",
	                                        "put_IsScriptEnabled(1)",
	                                        "put_AreDefaultScriptDialogsEnabled(1)",
	                                        "put_IsWebMessageEnabled(1)",
	                                        "put_AreDevToolsEnabled(0)",
	                                        "put_Bounds(0,0,300,200)",
	                                        "Navigate(http://127.0.0.1:37338/)",
	                                        bridge_logged,
	                                        "add_NavigationCompleted",
	                                        "args.get_IsSuccess",
	                                        "args.get_NavigationId",
	                                        "get_Source",
	                                    }));

	// Dropping the controller closes the view: the handlers and the child window go with it.
	settings.Reset();
	webview.Reset();
	controller.Reset();
	pump_idle();
	EXPECT_EQ(StandIn_LiveObjects(), 0) << StandIn_LiveObjectList();
	EXPECT_EQ(on_navigation->refs(), 1u);
	EXPECT_EQ(on_environment->refs(), 1u);
	EXPECT_EQ(on_controller->refs(), 1u);
	EXPECT_EQ(on_bridge->refs(), 1u);
	EXPECT_FALSE(IsWindow(host));
}

TEST_F(StandIn, ScriptsRunInTheDocumentTheyWereGivenTo) {
	View view = this->view();
	ASSERT_TRUE(view.webview);
	ICoreWebView2* webview = view.webview.Get();

	// JSON literals come back as JSON.stringify writes them.
	EXPECT_EQ(execute(webview, L" {\"b\": [1, 2.50, \"\\u0041\\n\"], \"a\": null} "), L"{\"b\":[1,2.50,\"A\\n\"],\"a\":null}");
	EXPECT_EQ(execute(webview, L"{\"x\": 1, \"2\": true, \"1\": false, \"x\": 3}"), L"{\"1\":false,\"2\":true,\"x\":3}");
	EXPECT_EQ(execute(webview, L"[\"\\u00e9\\u0001\\ud800\\/\"]"), L"[\"\u00e9\\u0001\\ud800/\"]");
	EXPECT_EQ(execute(webview, L"[1,]"), L"null");
	EXPECT_EQ(execute(webview, L"{'a': 1}"), L"null");
	EXPECT_EQ(execute(webview, L"1 2"), L"null");
	EXPECT_EQ(execute(webview, L"undefined"), L"null");
	EXPECT_EQ(execute(webview, L"document.title"), L"null");
	EXPECT_EQ(execute(webview, L"throw new Error('no')"), L"null");

	std::vector<std::wstring> messages;
	auto on_message = make<MessageHandler>([&](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
		LPWSTR json = nullptr;
		EXPECT_EQ(args->get_WebMessageAsJson(&json), S_OK);
		messages.push_back(take(json));
		LPWSTR text = nullptr;
		if (SUCCEEDED(args->TryGetWebMessageAsString(&text))) messages.back() += L" as string " + take(text);
		return S_OK;
	});
	EventRegistrationToken token;
	ASSERT_EQ(webview->add_WebMessageReceived(on_message.Get(), &token), S_OK);

	// Without the bridge the call throws; a script issued right after Navigate runs in the new page.
	EXPECT_EQ(execute(webview, L"invoke_extern(\"open\", 1, true)"), L"null");
	ASSERT_EQ(webview->Navigate(L"https://example.test/app"), S_OK);
	EXPECT_EQ(execute(webview, bridge), L"null");
	EXPECT_EQ(execute(webview, L"invoke_extern(\"open\", 1, true); 7"), L"7");
	ASSERT_TRUE(pump_until([&] { return !messages.empty(); }));
	EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"\"plain\""));
	ASSERT_TRUE(pump_until([&] { return messages.size() == 2; }));
	EXPECT_EQ(messages, (std::vector<std::wstring>{L"[\"open\",1,true]", L"\"plain\" as string plain"}));

	// A page that navigates on its own loses what ExecuteScript defined, but not what runs on every
	// new document.
	messages.clear();
	ASSERT_TRUE(StandIn_NavigateFromPage(L"https://example.test/next"));
	pump_idle();
	ASSERT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"lost\")"));
	auto on_added = make<AddScriptHandler>([](HRESULT hr, LPCWSTR id) {
		EXPECT_EQ(hr, S_OK);
		EXPECT_STREQ(id, L"1");
		return S_OK;
	});
	ASSERT_EQ(webview->AddScriptToExecuteOnDocumentCreated(bridge, on_added.Get()), S_OK);
	ASSERT_TRUE(StandIn_NavigateFromPage(L"https://example.test/third"));
	pump_idle();
	ASSERT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"kept\", {\"n\": [ ]})"));
	pump_idle();
	EXPECT_EQ(on_added->calls, 1);
	EXPECT_EQ(messages, std::vector<std::wstring>{L"[\"kept\",{\"n\":[]}]"});

	// A completion made to fail carries the failure and no result; the next one is normal again.
	StandIn_FailStepOnce("ExecuteScript.completion", E_ABORT);
	EXPECT_EQ(execute(webview, L"1", E_ABORT), L"(null)");
	EXPECT_EQ(execute(webview, L"1"), L"1");

	// With web messages off the page cannot post.
	ComPtr<ICoreWebView2Settings> settings;
	ASSERT_EQ(webview->get_Settings(&settings), S_OK);
	settings->put_IsWebMessageEnabled(FALSE);
	EXPECT_FALSE(StandIn_PostWebMessageAsJson(L"1"));
	messages.clear();
	EXPECT_EQ(execute(webview, L"invoke_extern(1)"), L"null");
	pump_idle();
	EXPECT_TRUE(messages.empty());
}

// ExecuteScriptWithResult reports a throw apart from its value, and undefined as undefined.
TEST_F(StandIn, ScriptResultsTellAThrowFromAValue) {
	View view = this->view();
	ASSERT_TRUE(view.webview);
	ComPtr<ICoreWebView2_21> webview;
	ASSERT_EQ(view.webview->QueryInterface(IID_ICoreWebView2_21, reinterpret_cast<void**>(webview.GetAddressOf())), S_OK);
	struct Outcome {
		BOOL succeeded = -1;
		std::wstring json, as_string, name, message;
		BOOL is_string = -1;
		bool operator==(const Outcome&) const = default;
	};
	auto run = [&](const wchar_t* script) {
		Outcome outcome;
		auto handler = make<ScriptResultHandler>([&](HRESULT hr, ICoreWebView2ExecuteScriptResult* result) {
			EXPECT_EQ(hr, S_OK);
			LPWSTR text = nullptr;
			result->get_Succeeded(&outcome.succeeded);
			result->get_ResultAsJson(&text);
			outcome.json = take(text);
			result->TryGetResultAsString(&text, &outcome.is_string);
			outcome.as_string = take(text);
			ComPtr<ICoreWebView2ScriptException> exception;
			EXPECT_EQ(result->get_Exception(&exception), S_OK);
			if (exception) {
				exception->get_Name(&text);
				outcome.name = take(text);
				exception->get_Message(&text);
				outcome.message = take(text);
			}
			return S_OK;
		});
		EXPECT_EQ(webview->ExecuteScriptWithResult(script, handler.Get()), S_OK);
		EXPECT_TRUE(pump_until([&] { return handler->calls > 0; }));
		return outcome;
	};
	EXPECT_EQ(run(L"\"text\""), (Outcome{TRUE, L"\"text\"", L"text", L"", L"", TRUE}));
	EXPECT_EQ(run(L"null"), (Outcome{TRUE, L"null", L"", L"", L"", FALSE}));
	EXPECT_EQ(run(L"undefined"), (Outcome{TRUE, L"undefined", L"", L"", L"", FALSE}));
	EXPECT_EQ(run(L"throw new RangeError('far')"), (Outcome{FALSE, L"null", L"", L"RangeError", L"far", FALSE}));
	EXPECT_EQ(run(L"throw \"plain\""), (Outcome{FALSE, L"null", L"", L"", L"", FALSE}));
	EXPECT_EQ(run(L"invoke_extern(1)"), (Outcome{FALSE, L"null", L"", L"ReferenceError", L"invoke_extern is not defined", FALSE}));

	// An older runtime has only ExecuteScript.
	StandIn_FailStep("QueryInterface.ICoreWebView2_21", E_NOINTERFACE);
	ComPtr<ICoreWebView2_21> older;
	EXPECT_EQ(view.webview->QueryInterface(IID_ICoreWebView2_21, reinterpret_cast<void**>(older.GetAddressOf())), E_NOINTERFACE);
	EXPECT_EQ(older, nullptr);
}

TEST_F(StandIn, InjectedFailuresAndAMissingRuntimeAreReportedWhereTheEngineReportsThem) {
	auto never = make<EnvironmentHandler>([](HRESULT, ICoreWebView2Environment*) { return S_OK; });
	StandIn_FailStepOnce("CreateCoreWebView2EnvironmentWithOptions", E_ACCESSDENIED);
	EXPECT_EQ(create_(nullptr, nullptr, nullptr, never.Get()), E_ACCESSDENIED);

	StandIn_BrowserVersion(nullptr);
	LPWSTR version = reinterpret_cast<LPWSTR>(1);
	EXPECT_EQ(version_(nullptr, &version), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
	EXPECT_EQ(version, nullptr);
	EXPECT_EQ(create_(nullptr, nullptr, nullptr, never.Get()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
	StandIn_BrowserVersion(L"120.0.1");
	ASSERT_EQ(version_(nullptr, &version), S_OK);
	EXPECT_EQ(take(version), L"120.0.1");
	pump_idle();
	EXPECT_EQ(never->calls, 0);
	EXPECT_EQ(never->refs(), 1u);

	// The loader needs a single-threaded apartment.
	std::thread([&] {
		EXPECT_EQ(create_(nullptr, nullptr, nullptr, never.Get()), CO_E_NOTINITIALIZED);
		CoInitializeEx(nullptr, COINIT_MULTITHREADED);
		EXPECT_EQ(create_(nullptr, nullptr, nullptr, never.Get()), RPC_E_CHANGED_MODE);
		CoUninitialize();
	}).join();

	HRESULT received = S_OK;
	auto failing = make<EnvironmentHandler>([&](HRESULT hr, ICoreWebView2Environment* environment) {
		received = hr;
		EXPECT_EQ(environment, nullptr);
		return S_OK;
	});
	StandIn_FailStepOnce("CreateCoreWebView2EnvironmentWithOptions.completion", E_FAIL);
	ASSERT_EQ(create_(nullptr, nullptr, nullptr, failing.Get()), S_OK);
	EXPECT_TRUE(pump_until([&] { return failing->calls > 0; }));
	EXPECT_EQ(received, E_FAIL);

	View view = this->view();
	ASSERT_TRUE(view.webview);
	StandIn_FailStep("get_Settings", E_OUTOFMEMORY);
	ComPtr<ICoreWebView2Settings> settings;
	EXPECT_EQ(view.webview->get_Settings(&settings), E_OUTOFMEMORY);
	StandIn_FailStepOnce("Navigate", E_INVALIDARG);
	EXPECT_EQ(view.webview->Navigate(L"http://127.0.0.1/"), E_INVALIDARG);
	// A plain path is taken as it is.
	EXPECT_EQ(view.webview->Navigate(L"C:\\page.html"), S_OK);
	EXPECT_EQ(view.webview->Navigate(L"file:///C:/page.html"), S_OK);

	// The parent window may go first and take the engine's view with it.
	DestroyWindow(parent_);
	EXPECT_EQ(FindWindowExW(nullptr, nullptr, STANDIN_HOST_WINDOW_CLASS, nullptr), nullptr);
	// Once the controller is closed the webview refuses every call.
	EXPECT_EQ(view.controller->Close(), S_OK);
	LPWSTR source = nullptr;
	EXPECT_EQ(view.webview->get_Source(&source), HRESULT_FROM_WIN32(ERROR_INVALID_STATE));

	// No controller can be made in a window that is gone.
	HRESULT controller_result = S_OK;
	auto on_controller = make<ControllerHandler>([&](HRESULT hr, ICoreWebView2Controller* controller) {
		controller_result = hr;
		EXPECT_EQ(controller, nullptr);
		return S_OK;
	});
	EXPECT_EQ(environment()->CreateCoreWebView2Controller(parent_, on_controller.Get()), S_OK);
	EXPECT_TRUE(pump_until([&] { return on_controller->calls > 0; }));
	EXPECT_EQ(controller_result, HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
	parent_ = nullptr;
}

TEST_F(StandIn, MisuseOfReferencesAndThreadsIsRecorded) {
	View view = this->view();
	ASSERT_TRUE(view.webview);

	// Another thread gets the engine's wrong-thread error.
	HRESULT from_other_thread = S_OK;
	std::thread([&] {
		LPWSTR source = nullptr;
		from_other_thread = view.webview->get_Source(&source);
	}).join();
	EXPECT_EQ(from_other_thread, RPC_E_WRONG_THREAD);

	// A handler that releases what it was only lent.
	auto over_releasing = make<MessageHandler>([](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
		args->Release();
		return S_OK;
	});
	EventRegistrationToken token;
	ASSERT_EQ(view.webview->add_WebMessageReceived(over_releasing.Get(), &token), S_OK);
	ASSERT_TRUE(StandIn_PostWebMessageAsJson(L"[]"));
	pump_idle();

	std::vector<std::string> violations = lines(StandIn_Violations());
	ASSERT_EQ(violations.size(), 2u) << StandIn_Violations();
	EXPECT_EQ(violations[0], "get_Source called on WebView from another thread");
	EXPECT_EQ(violations[1], "Release on released WebMessageReceivedEventArgs (one release too many)");
	view = View{};
	pump_idle();
	StandIn_Reset();
}

TEST_F(StandIn, EventOutcomesAreReadWhenTheHandlersReturnOrTheirDeferralCompletes) {
	View view = this->view();
	ASSERT_TRUE(view.webview);
	ComPtr<ICoreWebView2_4> webview4;
	ASSERT_EQ(view.webview->QueryInterface(IID_ICoreWebView2_4, reinterpret_cast<void**>(webview4.GetAddressOf())), S_OK);

	// A download held by a deferral: nothing is read before Complete, then an existing file at the
	// chosen path is overwritten.
	wchar_t temp[MAX_PATH];
	GetTempPathW(MAX_PATH, temp);
	std::wstring path = std::wstring(temp) + L"standin-overwritten.txt";
	{
		HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
		DWORD written = 0;
		WriteFile(file, "old contents", 12, &written, nullptr);
		CloseHandle(file);
	}
	ComPtr<ICoreWebView2DownloadStartingEventArgs> held;
	ComPtr<ICoreWebView2Deferral> deferral;
	auto on_download = make<DownloadHandler>([&](ICoreWebView2*, ICoreWebView2DownloadStartingEventArgs* args) {
		held = args;
		EXPECT_EQ(args->GetDeferral(&deferral), S_OK);
		return S_OK;
	});
	EventRegistrationToken token;
	ASSERT_EQ(webview4->add_DownloadStarting(on_download.Get(), &token), S_OK);
	ASSERT_TRUE(StandIn_StartDownload(L"https://example.test/new.txt", nullptr, L"text/plain", "new", 3, 0));
	pump_idle();
	ASSERT_TRUE(held && deferral);
	EXPECT_EQ(held->put_ResultFilePath(L"relative.txt"), E_INVALIDARG);
	EXPECT_EQ(held->put_ResultFilePath(path.c_str()), S_OK);
	EXPECT_EQ(held->put_Handled(TRUE), S_OK);
	EXPECT_EQ(std::string(StandIn_Trace()).find("> download saved"), std::string::npos) << StandIn_Trace();
	EXPECT_EQ(deferral->Complete(), S_OK);
	pump_idle();
	HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
	char contents[32] = {};
	DWORD read = 0;
	ReadFile(file, contents, sizeof contents, &read, nullptr);
	CloseHandle(file);
	DeleteFileW(path.c_str());
	EXPECT_EQ(std::string(contents, read), "new");
	std::string trace = StandIn_Trace();
	EXPECT_EQ(trace.find("default download dialog shown"), std::string::npos) << trace;

	// Cancel set once NavigationStarting's handlers have returned is too late.
	ComPtr<ICoreWebView2NavigationStartingEventArgs> late;
	auto on_starting = make<StartingHandler>([&](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
		late = args;
		return S_OK;
	});
	ASSERT_EQ(view.webview->add_NavigationStarting(on_starting.Get(), &token), S_OK);
	ASSERT_TRUE(StandIn_NavigateFromPage(L"https://example.test/next"));
	pump_idle();
	ASSERT_TRUE(late);
	EXPECT_EQ(late->put_Cancel(TRUE), S_OK);
	EXPECT_NE(std::string(StandIn_Trace()).find("> document https://example.test/next\n"), std::string::npos) << StandIn_Trace();
	EXPECT_EQ(lines(StandIn_Violations()), std::vector<std::string>{"put_Cancel after the NavigationStarting event completed: the engine no longer reads it"});

	// Nobody handles a new window: the engine opens its own.
	ASSERT_TRUE(StandIn_ClickLink(L"https://example.test/popup", TRUE));
	pump_idle();
	EXPECT_NE(std::string(StandIn_Trace()).find("> engine popup opens https://example.test/popup"), std::string::npos);
	held.Reset();
	deferral.Reset();
	late.Reset();
	webview4.Reset();
	view = View{};
	pump_idle();
	StandIn_Reset();
}

TEST_F(StandIn, TheBackgroundIsOpaqueOrTransparentAndMayComeFromTheEnvironment) {
	// Six digits: the alpha is 00.
	SetEnvironmentVariableW(L"WEBVIEW2_DEFAULT_BACKGROUND_COLOR", L"0x1E2D3C");
	View view = this->view();
	SetEnvironmentVariableW(L"WEBVIEW2_DEFAULT_BACKGROUND_COLOR", nullptr);
	ComPtr<ICoreWebView2Controller2> controller;
	ASSERT_EQ(view.controller->QueryInterface(IID_ICoreWebView2Controller2, reinterpret_cast<void**>(controller.GetAddressOf())), S_OK);
	COREWEBVIEW2_COLOR color{};
	ASSERT_EQ(controller->get_DefaultBackgroundColor(&color), S_OK);
	EXPECT_EQ((std::vector<int>{color.A, color.R, color.G, color.B}), (std::vector<int>{0, 0x1E, 0x2D, 0x3C}));
	EXPECT_EQ(controller->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{128, 1, 2, 3}), E_INVALIDARG);
	EXPECT_EQ(controller->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{255, 1, 2, 3}), S_OK);
	ASSERT_EQ(controller->get_DefaultBackgroundColor(&color), S_OK);
	EXPECT_EQ((std::vector<int>{color.A, color.R, color.G, color.B}), (std::vector<int>{255, 1, 2, 3}));
}

TEST_F(StandIn, ProbedNavigationsSucceedOnlyWhileSomethingListens) {
	WSADATA data;
	ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
	SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
	ASSERT_EQ(listen(listener, 4), 0);
	int size = sizeof address;
	getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
	std::wstring url = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/";

	View view = this->view();
	ASSERT_TRUE(view.webview);
	std::vector<std::pair<BOOL, COREWEBVIEW2_WEB_ERROR_STATUS>> results;
	auto on_navigation = make<NavigationHandler>([&](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
		BOOL success = FALSE;
		COREWEBVIEW2_WEB_ERROR_STATUS status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
		args->get_IsSuccess(&success);
		args->get_WebErrorStatus(&status);
		results.emplace_back(success, status);
		return S_OK;
	});
	EventRegistrationToken token;
	ASSERT_EQ(view.webview->add_NavigationCompleted(on_navigation.Get(), &token), S_OK);
	auto navigate = [&](const std::wstring& target) {
		size_t before = results.size();
		EXPECT_EQ(view.webview->Navigate(target.c_str()), S_OK);
		EXPECT_TRUE(pump_until([&] { return results.size() > before; }));
	};

	StandIn_SetNavigationResult(STANDIN_NAVIGATION_PROBE);
	StandIn_SetNavigationRule(L"https://blocked.test/", STANDIN_NAVIGATION_FAIL);
	navigate(url);
	closesocket(listener);
	navigate(url);
	navigate(L"https://blocked.test/page");
	navigate(L"https://nowhere.invalid/");
	WSACleanup();

	using Result = std::pair<BOOL, COREWEBVIEW2_WEB_ERROR_STATUS>;
	EXPECT_EQ(results, (std::vector<Result>{{TRUE, COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN},
	                       {FALSE, COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT},
	                       {FALSE, COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT},
	                       {FALSE, COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED}}));
}

} // namespace
