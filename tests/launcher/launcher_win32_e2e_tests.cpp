// The real Windows launcher under Wine with the stand-in WebView2 engine beside it: the daemon is
// found or started, the "Tarnwick" window navigates to its address, the close button ends the
// program with 0; without a daemon anywhere one error box with the exact text, and exit code 1. What
// the page does (links, new windows, downloads, a crash) is acted by the engine from its environment.
#include "support/test_sandbox.hpp"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The build's paths are the host's; Wine shows the host's root as drive Z:.
fs::path host_path(const char* path) {
	std::string text = path;
	if (!text.empty() && text[0] == '/') text = "Z:" + text;
	return fs::path(text).make_preferred();
}

std::string read_file(const fs::path& path) {
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline) return false;
		std::this_thread::sleep_for(50ms);
	}
	return true;
}

std::vector<DWORD> processes_named(const wchar_t* name) {
	std::vector<DWORD> found;
	HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
	PROCESSENTRY32W entry{};
	entry.dwSize = sizeof entry;
	for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
		if (_wcsicmp(entry.szExeFile, name) == 0) found.push_back(entry.th32ProcessID);
	CloseHandle(snapshot);
	return found;
}

void kill_processes_named(const wchar_t* name) {
	for (DWORD pid : processes_named(name)) {
		if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
			TerminateProcess(process, 9);
			WaitForSingleObject(process, 5000);
			CloseHandle(process);
		}
	}
}

HWND tarnwick_window() { return FindWindowW(L"bw-window", L"Tarnwick"); }

fs::path known_folder(REFKNOWNFOLDERID id) {
	PWSTR path = nullptr;
	fs::path folder;
	if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) folder = path;
	CoTaskMemFree(path);
	return folder;
}

fs::path downloads_folder() { return known_folder(FOLDERID_Downloads); }

// Waits for the process while this thread's windows get their messages.
bool wait_pumping(HANDLE process, std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (std::chrono::steady_clock::now() < deadline) {
		if (MsgWaitForMultipleObjects(1, &process, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
		MSG message;
		while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
	}
	return false;
}

// A window of another program that looks like the launcher's: class "bw-window", title "Tarnwick".
struct LookAlikeWindow {
	LookAlikeWindow() {
		WNDCLASSW type{};
		type.lpfnWndProc = DefWindowProcW;
		type.hInstance = GetModuleHandleW(nullptr);
		type.lpszClassName = L"bw-window";
		RegisterClassW(&type);
		window = CreateWindowExW(0, L"bw-window", L"Tarnwick", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr, nullptr, type.hInstance, nullptr);
	}
	~LookAlikeWindow() { DestroyWindow(window); }
	HWND window;
};

// The user's default browser, for as long as it lives: ShellExecuteW opens an http or https address
// with the command registered for its class, which here appends the address to a file. Registered
// for the user, and in the classes root too, which Wine 8 reads without merging the user's classes;
// the root's previous commands are put back.
class RecordingDefaultBrowser {
public:
	explicit RecordingDefaultBrowser(fs::path folder) : folder_(std::move(folder)) {
		for (const wchar_t* scheme : {L"http", L"https"}) {
			// A file per class: cmd's >> seeks to the end and writes, so two at once would overwrite.
			std::wstring command = L"C:\\windows\\system32\\cmd.exe /c echo %1 >>\"" + record_file(scheme).wstring() + L"\"";
			std::wstring user_class = std::wstring(L"Software\\Classes\\") + scheme;
			HKEY existing = nullptr;
			if (RegOpenKeyExW(HKEY_CURRENT_USER, user_class.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
				RegCloseKey(existing);
				ADD_FAILURE() << "the prefix already has a user class for " << fs::path(scheme).string();
				continue;
			}
			user_classes_made_.push_back(user_class);
			set_command(HKEY_CURRENT_USER, user_class, REG_SZ, command);
			Previous previous;
			previous.key = std::wstring(scheme) + L"\\shell\\open\\command";
			wchar_t value[1024];
			DWORD size = sizeof value;
			if (RegGetValueW(HKEY_CLASSES_ROOT, previous.key.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &previous.type, value, &size) ==
			    ERROR_SUCCESS)
				previous.command = std::wstring(value);
			root_commands_.push_back(previous);
			set_command(HKEY_CLASSES_ROOT, std::wstring(scheme), REG_SZ, command);
		}
	}
	~RecordingDefaultBrowser() {
		for (const std::wstring& key : user_classes_made_) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
		for (const Previous& previous : root_commands_) {
			if (previous.command) {
				HKEY key = nullptr;
				if (RegOpenKeyExW(HKEY_CLASSES_ROOT, previous.key.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
				RegSetValueExW(key, nullptr, 0, previous.type, reinterpret_cast<const BYTE*>(previous.command->c_str()),
				               static_cast<DWORD>((previous.command->size() + 1) * sizeof(wchar_t)));
				RegCloseKey(key);
			} else {
				RegDeleteKeyValueW(HKEY_CLASSES_ROOT, previous.key.c_str(), nullptr);
			}
		}
	}
	RecordingDefaultBrowser(const RecordingDefaultBrowser&) = delete;
	RecordingDefaultBrowser& operator=(const RecordingDefaultBrowser&) = delete;

	std::string opened() const { return read_file(record_file(L"http")) + read_file(record_file(L"https")); }

private:
	fs::path record_file(const std::wstring& scheme) const { return folder_ / (L"opened-" + scheme + L".txt"); }

	struct Previous {
		std::wstring key;
		DWORD type = REG_SZ;
		std::optional<std::wstring> command;
	};

	static void set_command(HKEY root, const std::wstring& scheme_key, DWORD type, const std::wstring& command) {
		HKEY handler = nullptr;
		if (RegCreateKeyExW(root, (scheme_key + L"\\shell\\open\\command").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handler, nullptr) != ERROR_SUCCESS) {
			ADD_FAILURE() << "cannot register the recording browser";
			return;
		}
		RegSetValueExW(handler, nullptr, 0, type, reinterpret_cast<const BYTE*>(command.c_str()), static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
		RegCloseKey(handler);
	}

	fs::path folder_;
	std::vector<std::wstring> user_classes_made_;
	std::vector<Previous> root_commands_;
};

class LauncherRunWine : public ::testing::Test {
protected:
	void SetUp() override {
		// The daemon's fixed port is the host's unless the Wine session runs in a sandbox.
		TARNWICK_REQUIRE_ISOLATION();
		kill_processes_named(L"tarnwickd.exe");
		wchar_t temp[MAX_PATH];
		GetTempPathW(MAX_PATH, temp);
		root_ = fs::path(temp) / ("tarnwick-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()));
		launcher_dir_ = root_ / "launcher";
		elsewhere_dir_ = root_ / "elsewhere";
		fs::create_directories(launcher_dir_);
		fs::create_directories(elsewhere_dir_);
		fs::copy_file(host_path(TARNWICK_LAUNCHER), launcher_dir_ / "tarnwick_desktop.exe");
		fs::copy_file(host_path(STANDIN_LOADER), launcher_dir_ / "WebView2Loader.dll");
	}

	void TearDown() override {
		if (!testing::test_sandbox().isolated) return;
		for (HANDLE process : processes_) {
			TerminateProcess(process, 9);
			WaitForSingleObject(process, 5000);
			CloseHandle(process);
		}
		kill_processes_named(L"tarnwickd.exe");
		kill_processes_named(L"realdaemon.exe");
		std::error_code ignored;
		fs::remove_all(root_, ignored);
		for (const fs::path& file : downloads_made_) fs::remove(file, ignored);
	}

	HANDLE spawn(const fs::path& program, const std::wstring& arguments) {
		// Nothing on PATH holds a daemon; the engine succeeds a navigation only where something
		// listens, and writes its calls where the test reads them.
		std::wstring environment;
		const std::vector<std::wstring> variables = {L"PATH=C:\\windows\\system32;C:\\windows", L"WEBVIEW2_STANDIN_NAVIGATION=probe", L"WEBVIEW2_STANDIN_LOG=" + engine_log().wstring(),
		                                             L"SystemRoot=C:\\windows", L"TEMP=" + root_.wstring(), L"BW_NO_ERROR_BOX=1",
		                                             L"WEBVIEW2_STANDIN_TRACE=" + engine_trace_file().wstring(), L"STANDIN_PAGE_ACTIONS=" + page_actions_};
		for (const std::wstring& variable : variables) {
			environment += variable;
			environment.push_back(L'\0');
		}
		for (const std::wstring& variable : extra_environment_) {
			environment += variable;
			environment.push_back(L'\0');
		}
		environment.push_back(L'\0');
		std::wstring command = L"\"" + program.wstring() + L"\" " + arguments;
		STARTUPINFOW startup{};
		startup.cb = sizeof startup;
		PROCESS_INFORMATION info{};
		BOOL created = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(),
		                              root_.c_str(), &startup, &info);
		EXPECT_TRUE(created) << GetLastError();
		if (!created) return nullptr;
		CloseHandle(info.hThread);
		processes_.push_back(info.hProcess);
		return info.hProcess;
	}

	void start_launcher() { launcher_ = spawn(launcher_dir_ / "tarnwick_desktop.exe", L""); }

	void start_daemon_elsewhere(const std::wstring& arguments = L"") {
		fs::copy_file(host_path(TARNWICK_DAEMON), elsewhere_dir_ / "tarnwickd.exe");
		spawn(elsewhere_dir_ / "tarnwickd.exe", arguments);
	}

	int launcher_exit_code(DWORD timeout_ms = 20000) {
		if (WaitForSingleObject(launcher_, timeout_ms) != WAIT_OBJECT_0) return -1;
		DWORD code = 0;
		GetExitCodeProcess(launcher_, &code);
		return static_cast<int>(code);
	}

	// The launcher with the daemon beside it, whose page takes the actions once it is shown.
	HWND launch_with_page_actions(const std::wstring& actions) {
		fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
		page_actions_ = actions;
		start_launcher();
		HWND window = nullptr;
		bool shown = wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s);
		return shown ? window : nullptr;
	}

	fs::path engine_log() const { return root_ / "engine.log"; }
	std::string engine_calls() const { return read_file(engine_log()); }
	fs::path engine_trace_file() const { return root_ / "engine-trace.log"; }
	std::string engine_trace() const { return read_file(engine_trace_file()); }
	// The launcher's log: what it prints on its error output is lost when a failed case ends it.
	static std::string log() { return read_file(known_folder(FOLDERID_LocalAppData) / "Tarnwick" / "launcher.log"); }

	// Variables of the case's own, for the launcher and the daemons it starts.
	std::vector<std::wstring> extra_environment_;
	std::wstring page_actions_;
	std::vector<fs::path> downloads_made_;
	fs::path root_, launcher_dir_, elsewhere_dir_;
	HANDLE launcher_ = nullptr;
	std::vector<HANDLE> processes_;
};

TEST_F(LauncherRunWine, StartsTheDaemonBesideItNavigatesToItAndEndsWithZeroWhenClosed) {
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	start_launcher();
	HWND window = nullptr;
	ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << engine_calls();
	RECT outer{};
	GetWindowRect(window, &outer);
	EXPECT_EQ(outer.right - outer.left, 1024);
	EXPECT_EQ(outer.bottom - outer.top, 768);
	EXPECT_EQ(processes_named(L"tarnwickd.exe").size(), 1u);
	EXPECT_NE(engine_calls().find("Navigate(http://127.0.0.1:37338)"), std::string::npos) << engine_calls();
	EXPECT_NE(engine_calls().find("put_AreDevToolsEnabled(1)"), std::string::npos);
	// Once the daemon listens, the window shows its page.
	EXPECT_TRUE(wait_until([&] {
		std::string calls = engine_calls();
		return calls.rfind("Navigate(http://127.0.0.1:37338)") > calls.find("Navigate(http://127.0.0.1:37338)") ||
		       calls.find("Navigate(data:") == std::string::npos;
	}, 20s)) << engine_calls();

	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
	EXPECT_EQ(processes_named(L"tarnwickd.exe").size(), 1u); // the daemon outlives the launcher
}

TEST_F(LauncherRunWine, UsesADaemonThatAlreadyRunsAndStartsNoOther) {
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	start_daemon_elsewhere();
	ASSERT_TRUE(wait_until([] { return processes_named(L"tarnwickd.exe").size() == 1; }, 10s));
	start_launcher();
	HWND window = nullptr;
	ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << engine_calls();
	EXPECT_EQ(processes_named(L"tarnwickd.exe").size(), 1u);
	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherRunWine, WithoutADaemonAnywhereShowsOneErrorBoxAndEndsWithOne) {
	start_launcher();
	HWND box = nullptr;
	bool window_seen = false;
	ASSERT_TRUE(wait_until([&] {
		// The window is built while the daemon is looked for, but never shown.
		HWND window = tarnwick_window();
		window_seen = window_seen || (window != nullptr && IsWindowVisible(window));
		return (box = FindWindowW(L"#32770", L"Tarnwick Error")) != nullptr;
	}, 30s));
	wchar_t text[256] = {};
	GetDlgItemTextW(box, 0xFFFF, text, 256);
	EXPECT_STREQ(text, L"Unable to spawn the Tarnwick daemon: program not found");
	int boxes = 0;
	for (HWND each = FindWindowExW(nullptr, nullptr, L"#32770", L"Tarnwick Error"); each != nullptr;
	     each = FindWindowExW(nullptr, each, L"#32770", L"Tarnwick Error"))
		boxes++;
	EXPECT_EQ(boxes, 1);
	EXPECT_EQ(WaitForSingleObject(launcher_, 300), static_cast<DWORD>(WAIT_TIMEOUT));

	PostMessageW(box, WM_COMMAND, IDOK, 0);
	EXPECT_EQ(launcher_exit_code(), 1);
	EXPECT_FALSE(window_seen);
	EXPECT_TRUE(processes_named(L"tarnwickd.exe").empty());
}

TEST_F(LauncherRunWine, ShowsTheWindowAtOnceAndTheDaemonsPageOnceItListens) {
	start_daemon_elsewhere(L"--delay-listen 12");
	ASSERT_TRUE(wait_until([] { return processes_named(L"tarnwickd.exe").size() == 1; }, 10s));
	start_launcher();
	HWND window = nullptr;
	ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << engine_calls();
	// Shown while the daemon does not listen yet: the launcher's own page (the launcher navigates
	// to it right after showing the window, which this process may see in between).
	EXPECT_TRUE(wait_until([&] { return engine_calls().find("Navigate(data:text/html") != std::string::npos; }, 5s)) << engine_calls();
	EXPECT_TRUE(wait_until([&] {
		std::string calls = engine_calls();
		std::size_t page = calls.find("Navigate(data:text/html");
		return page != std::string::npos && calls.find("Navigate(http://127.0.0.1:37338)", page) != std::string::npos;
	}, 30s)) << engine_calls();
	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherRunWine, ALaterLaunchEndsWithZeroAndAKilledDaemonIsRestartedWithItsPageBack) {
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	start_launcher();
	HWND window = nullptr;
	ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << engine_calls();
	ASSERT_TRUE(wait_until([] { return processes_named(L"tarnwickd.exe").size() == 1; }, 10s));
	DWORD first_daemon = processes_named(L"tarnwickd.exe")[0];

	// Only the window of the launcher that runs is raised, not one that merely looks like it.
	{
		LookAlikeWindow look_alike;
		ASSERT_NE(look_alike.window, nullptr);
		SetForegroundWindow(look_alike.window);
		ASSERT_EQ(GetForegroundWindow(), look_alike.window);
		HANDLE later = spawn(launcher_dir_ / "tarnwick_desktop.exe", L"");
		ASSERT_TRUE(wait_pumping(later, 20s));
		DWORD code = 1;
		GetExitCodeProcess(later, &code);
		EXPECT_EQ(code, 0u);
		EXPECT_EQ(GetForegroundWindow(), window);
		EXPECT_EQ(processes_named(L"tarnwickd.exe").size(), 1u);
	}

	std::size_t before = engine_calls().size();
	kill_processes_named(L"tarnwickd.exe");
	// The launcher's own page, then a new daemon and its page again.
	EXPECT_TRUE(wait_until([&] { return engine_calls().find("Navigate(data:text/html", before) != std::string::npos; }, 5s)) << engine_calls();
	EXPECT_TRUE(wait_until([&] {
		std::string calls = engine_calls();
		std::size_t page = calls.find("Navigate(data:text/html", before);
		return page != std::string::npos && calls.find("Navigate(http://127.0.0.1:37338", page) != std::string::npos;
	}, 20s)) << engine_calls();
	auto daemons = processes_named(L"tarnwickd.exe");
	ASSERT_EQ(daemons.size(), 1u);
	EXPECT_NE(daemons[0], first_daemon);
	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

// Daemons as they run on Windows: one that starts a copy of itself and exits (its form of going into
// the background), a wrapper named tarnwickd.exe whose child under another name listens, and one
// listening dual-stack on [::]. Each is shown, and nothing takes it for another program.
TEST_F(LauncherRunWine, ShowsDaemonsThatGoIntoTheBackgroundRunUnderAnotherNameOrListenDualStack) {
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	fs::copy_file(host_path(TARNWICK_DAEMON), elsewhere_dir_ / "realdaemon.exe");
	struct Form {
		const char* name;
		std::vector<std::wstring> environment;
		bool found_running;
	};
	const Form forms[] = {
	    {"background", {L"TARNWICKD_FORK=1"}, false},
	    {"wrapper", {L"TARNWICKD_WRAP=" + (elsewhere_dir_ / "realdaemon.exe").wstring()}, true},
	    {"dual-stack", {L"TARNWICKD_LISTEN=dual"}, true},
	};
	for (const Form& form : forms) {
		SCOPED_TRACE(form.name);
		extra_environment_ = form.environment;
		if (form.found_running) {
			if (!fs::exists(elsewhere_dir_ / "tarnwickd.exe")) fs::copy_file(host_path(TARNWICK_DAEMON), elsewhere_dir_ / "tarnwickd.exe");
			spawn(elsewhere_dir_ / "tarnwickd.exe", L"");
		}
		std::size_t before = engine_calls().size();
		start_launcher();
		HWND window = nullptr;
		ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << log() << engine_calls();
		EXPECT_TRUE(wait_until([&] { return engine_calls().find("Navigate(http://127.0.0.1:37338)", before) != std::string::npos; }, 20s)) << log() << engine_calls();
		// Watched as listening: no page of the launcher's follows.
		std::this_thread::sleep_for(2500ms);
		EXPECT_EQ(engine_calls().find("Navigate(data:", before), std::string::npos) << engine_calls();
		PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
		EXPECT_EQ(launcher_exit_code(), 0);
		kill_processes_named(L"tarnwickd.exe");
		kill_processes_named(L"realdaemon.exe");
		ASSERT_TRUE(wait_until([] { return tarnwick_window() == nullptr || !IsWindowVisible(tarnwick_window()); }, 10s));
	}
}

// A chatty daemon writes to its output file for as long as it runs, and the launcher keeps that
// file small meanwhile: it never grows past twice its limit, the earlier part kept once aside.
TEST_F(LauncherRunWine, KeepsAChattyDaemonsOutputWithinTwiceItsLimit) {
	fs::path output = known_folder(FOLDERID_LocalAppData) / "Tarnwick" / "daemon.log";
	fs::path aside = output;
	aside += ".1";
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	extra_environment_ = {L"TARNWICKD_CHATTER=400000"};
	start_launcher();
	HWND window = nullptr;
	ASSERT_TRUE(wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s)) << engine_calls();
	constexpr std::uintmax_t limit = 1024 * 1024;
	std::uintmax_t largest = 0;
	auto size_of = [](const fs::path& file) {
		std::error_code none;
		std::uintmax_t size = fs::file_size(file, none);
		return none ? std::uintmax_t{0} : size;
	};
	// About three times the limit is written meanwhile.
	EXPECT_TRUE(wait_until([&] {
		largest = std::max({largest, size_of(output), size_of(aside)});
		return size_of(aside) > limit && size_of(output) > 0 && size_of(output) < size_of(aside);
	}, 30s));
	for (int look = 0; look < 20; look++) {
		largest = std::max({largest, size_of(output), size_of(aside)});
		std::this_thread::sleep_for(100ms);
	}
	EXPECT_LE(largest, 2 * limit);
	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
	kill_processes_named(L"tarnwickd.exe");
}

// Logging off ends the program without closing its window: the state is saved when the session
// asks to end and when it ends.
TEST_F(LauncherRunWine, SavesTheWindowStateWhenTheSessionEnds) {
	fs::path state = known_folder(FOLDERID_RoamingAppData) / "Tarnwick" / "window";
	std::error_code ignored;
	fs::remove(state, ignored);
	HWND window = launch_with_page_actions(L"");
	ASSERT_NE(window, nullptr) << engine_calls();
	SetWindowPos(window, nullptr, 100, 80, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
	EXPECT_NE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
	EXPECT_NE(read_file(state).find("width=800\nheight=600\nx=100\ny=80\n"), std::string::npos) << read_file(state);
	fs::remove(state, ignored);
	SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
	EXPECT_NE(read_file(state).find("width=800\nheight=600\n"), std::string::npos) << read_file(state);
}

TEST_F(LauncherRunWine, WithoutTheLoaderDllFindsTheInstalledRuntime) {
	// As installed from the zip: no WebView2Loader.dll beside the program, a registered runtime.
	fs::remove(launcher_dir_ / "WebView2Loader.dll");
	fs::copy_file(host_path(TARNWICK_DAEMON), launcher_dir_ / "tarnwickd.exe");
	fs::path version_folder = root_ / "EdgeWebView" / "Application" / "138.0.3351.48";
	fs::create_directories(version_folder / "EBWebView" / "x64");
	fs::copy_file(host_path(STANDIN_RUNTIME), version_folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll");
	const wchar_t* key = L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
	HKEY registration = nullptr;
	ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &registration, nullptr), ERROR_SUCCESS);
	std::wstring folder = version_folder.wstring();
	RegSetValueExW(registration, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
	               static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
	RegCloseKey(registration);

	start_launcher();
	HWND window = nullptr;
	bool shown = wait_until([&] { return (window = tarnwick_window()) != nullptr && IsWindowVisible(window); }, 30s);
	EXPECT_TRUE(shown) << engine_calls();
	EXPECT_NE(engine_calls().find("CreateWebViewEnvironmentWithOptionsInternal("), std::string::npos) << engine_calls();
	if (shown) {
		PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
		EXPECT_EQ(launcher_exit_code(), 0);
	}
	RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

TEST_F(LauncherRunWine, SendsOutsideAddressesToTheDefaultBrowserKeepsTheDaemonsPageAndSavesDownloadsSideBySide) {
	RecordingDefaultBrowser browser(root_);
	fs::path downloads = downloads_folder();
	ASSERT_FALSE(downloads.empty());
	std::wstring name = L"tarnwick-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
	downloads_made_ = {downloads / (name + L".csv"), downloads / (name + L" (1).csv")};
	std::wstring download = L"download=http://127.0.0.1:37338/download|" + name + L".csv|text/csv|a,b";
	HWND window = launch_with_page_actions(L"click=http://example.invalid/clicked open=https://example.invalid/opened " + download + L" " + download);
	ASSERT_NE(window, nullptr) << engine_calls();

	EXPECT_TRUE(wait_until([&] {
		std::string opened = browser.opened();
		return opened.find("http://example.invalid/clicked") != std::string::npos && opened.find("https://example.invalid/opened") != std::string::npos;
	}, 15s)) << browser.opened() << engine_trace();
	EXPECT_TRUE(wait_until([&] { return read_file(downloads_made_[0]) == "a,b" && read_file(downloads_made_[1]) == "a,b"; }, 15s)) << engine_trace();
	// The window never left the daemon's page, nor did the engine open a window of its own.
	std::string trace = engine_trace();
	EXPECT_EQ(trace.find("> document http://example.invalid"), std::string::npos) << trace;
	EXPECT_EQ(trace.find("engine popup opens"), std::string::npos) << trace;
	EXPECT_NE(trace.find("> no window opens for https://example.invalid/opened"), std::string::npos) << trace;
	EXPECT_EQ(WaitForSingleObject(launcher_, 0), static_cast<DWORD>(WAIT_TIMEOUT));

	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherRunWine, ReloadsTheDaemonsPageWhenThePageProcessEnds) {
	HWND window = launch_with_page_actions(L"crash");
	ASSERT_NE(window, nullptr) << engine_calls();
	ASSERT_TRUE(wait_until([&] { return engine_trace().find("> ProcessFailed kind=1") != std::string::npos; }, 30s)) << engine_trace();
	// The crash leaves an error page; the launcher's Reload loads the daemon's page again.
	EXPECT_TRUE(wait_until([&] {
		std::string trace = engine_trace();
		std::size_t failed = trace.find("> ProcessFailed kind=1");
		std::size_t reload = trace.find("\nReload\n", failed == std::string::npos ? trace.size() : failed);
		std::size_t page = trace.find("> document http://127.0.0.1:37338", reload == std::string::npos ? trace.size() : reload);
		return page != std::string::npos && trace.find(" success=1 ", page) != std::string::npos;
	}, 5s)) << engine_trace();

	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

// The status icon, as the shell drives it with NOTIFYICON_VERSION_4: the icon's messages carry the
// event in the low word of lParam and the anchor in wParam.
class LauncherTrayWine : public LauncherRunWine {
protected:
	static constexpr UINT icon_message = WM_APP + 1;

	void TearDown() override {
		std::error_code ignored;
		fs::remove(settings_file(), ignored);
		RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tarnwick");
		LauncherRunWine::TearDown();
	}

	static fs::path settings_file() { return known_folder(FOLDERID_RoamingAppData) / "Tarnwick" / "settings"; }
	static HWND icon_window() { return FindWindowW(L"bw-status-icon", L"Tarnwick"); }

	// Whether the shell has the icon: only an icon it has can be changed.
	static bool icon_known(HWND window) {
		NOTIFYICONDATAW icon{};
		icon.cbSize = sizeof icon;
		icon.hWnd = window;
		icon.uID = 1;
		return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
	}

	static void post_icon_event(HWND window, UINT event) { PostMessageW(window, icon_message, MAKEWPARAM(100, 100), MAKELPARAM(event, 1)); }

	// The Run value as `reg query` prints it; nothing when there is none.
	std::optional<std::string> run_value() {
		auto [code, output] = captured(L"C:\\windows\\system32\\reg.exe", L"query HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run /v Tarnwick");
		std::size_t at = output.find("REG_SZ");
		if (code != 0 || at == std::string::npos) return std::nullopt;
		std::string value = output.substr(output.find_first_not_of(' ', at + 6));
		return value.substr(0, value.find_last_not_of("\r\n ") + 1);
	}

	std::string expected_run_value() const { return "\"" + (launcher_dir_ / "tarnwick_desktop.exe").string() + "\" --minimized"; }

	// A later launch with its output in a pipe: its exit code and what it wrote.
	std::pair<int, std::string> second(const std::wstring& arguments) { return captured(launcher_dir_ / "tarnwick_desktop.exe", arguments); }

	std::pair<int, std::string> captured(const fs::path& program, const std::wstring& arguments) {
		SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
		HANDLE read_end = nullptr, write_end = nullptr;
		CreatePipe(&read_end, &write_end, &inherit, 0);
		SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
		std::wstring command = L"\"" + program.wstring() + L"\" " + arguments;
		STARTUPINFOW startup{};
		startup.cb = sizeof startup;
		startup.dwFlags = STARTF_USESTDHANDLES;
		startup.hStdOutput = startup.hStdError = write_end;
		PROCESS_INFORMATION info{};
		BOOL created = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, root_.c_str(), &startup, &info);
		CloseHandle(write_end);
		std::string output;
		DWORD code = 99;
		if (created) {
			char buffer[512];
			DWORD got = 0;
			while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
			if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
			CloseHandle(info.hThread);
			CloseHandle(info.hProcess);
		}
		CloseHandle(read_end);
		return {static_cast<int>(code), output};
	}
};

TEST_F(LauncherTrayWine, TheIconShowsTheWindowKeepsTheLauncherRunningAndComesBackAfterTheShellRestarts) {
	fs::create_directories(settings_file().parent_path());
	std::ofstream(settings_file()) << "keep_running_when_closed=1\n";
	HWND window = launch_with_page_actions(L"");
	ASSERT_NE(window, nullptr) << engine_calls();
	HWND icon = nullptr;
	ASSERT_TRUE(wait_until([&] { return (icon = icon_window()) != nullptr && log().find("the status icon is shown") != std::string::npos; }, 10s)) << log();
	EXPECT_TRUE(icon_known(icon));

	// Closed, the window hides; a click or Space on the icon brings it back.
	for (UINT event : {NIN_SELECT, NIN_KEYSELECT}) {
		PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
		EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(window); }, 5s));
		EXPECT_EQ(WaitForSingleObject(launcher_, 0), static_cast<DWORD>(WAIT_TIMEOUT));
		post_icon_event(icon, event);
		EXPECT_TRUE(wait_until([&] { return IsWindowVisible(window); }, 5s)) << event;
	}

	// The context menu opens; Down four times and Enter check "Start at Login".
	post_icon_event(icon, WM_CONTEXTMENU);
	HWND menu = nullptr;
	ASSERT_TRUE(wait_until([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5s));
	for (int i = 0; i < 4; i++) PostMessageW(icon, WM_KEYDOWN, VK_DOWN, 0);
	PostMessageW(icon, WM_KEYDOWN, VK_RETURN, 0);
	EXPECT_TRUE(wait_until([&] { return run_value().has_value(); }, 5s)) << log();
	EXPECT_EQ(run_value().value_or(""), expected_run_value());
	// And unchecked again.
	post_icon_event(icon, WM_CONTEXTMENU);
	ASSERT_TRUE(wait_until([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5s));
	for (int i = 0; i < 4; i++) PostMessageW(icon, WM_KEYDOWN, VK_DOWN, 0);
	PostMessageW(icon, WM_KEYDOWN, VK_RETURN, 0);
	EXPECT_TRUE(wait_until([&] { return !run_value().has_value(); }, 5s)) << log();

	// The shell restarted and lost the icon: it is added again.
	NOTIFYICONDATAW lost{};
	lost.cbSize = sizeof lost;
	lost.hWnd = icon;
	lost.uID = 1;
	Shell_NotifyIconW(NIM_DELETE, &lost);
	EXPECT_FALSE(icon_known(icon));
	PostMessageW(icon, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
	EXPECT_TRUE(wait_until([&] { return icon_known(icon); }, 5s));

	auto [code, said] = second(L"--quit");
	EXPECT_EQ(code, 0) << said;
	EXPECT_EQ(launcher_exit_code(), 0);
	EXPECT_FALSE(icon_known(icon));
}

// The daemon's page may notify, nothing else is granted and no decision is kept in the profile. A
// notification is a balloon of the status icon, or, while the shell has no icon of the launcher's,
// of a notify icon of its own; the balloon's click (the icon's callback message, as the shell sends
// it) brings the minimised window back and reaches the page.
TEST_F(LauncherTrayWine, GrantsOnlyTheDaemonsNotificationsAndTheBalloonsClickBringsTheWindowBack) {
	fs::path first = root_ / "notify-first", second = root_ / "notify-second";
	HWND window = launch_with_page_actions(L"permission=notifications permission=camera permission=notifications|http://127.0.0.1:37339/ wait-for=" +
	                                       first.wstring() + L" notify=Build|3&4|build wait-for=" + second.wstring() + L" notify=Deploy||deploy");
	ASSERT_NE(window, nullptr) << engine_calls();
	HWND icon = nullptr;
	ASSERT_TRUE(wait_until([&] { return (icon = icon_window()) != nullptr && log().find("the status icon is shown") != std::string::npos; }, 10s)) << log();
	std::ofstream(first).put('\n');
	ASSERT_TRUE(wait_until([&] { return engine_trace().find("> page notification event show Build") != std::string::npos; }, 30s)) << engine_trace();
	std::string trace = engine_trace();
	EXPECT_NE(trace.find("> page permission notifications for http://127.0.0.1:37338/ allowed (not saved)"), std::string::npos) << trace;
	EXPECT_NE(trace.find("> page permission camera for http://127.0.0.1:37338/ denied (not saved)"), std::string::npos) << trace;
	EXPECT_NE(trace.find("> page permission notifications for http://127.0.0.1:37339/ denied (not saved)"), std::string::npos) << trace;
	EXPECT_EQ(trace.find("engine notification shown"), std::string::npos) << trace;
	EXPECT_NE(engine_calls().find("options.get_Language=en-US"), std::string::npos) << engine_calls();

	auto clicked_brings_back = [&](HWND balloon_icon, const std::string& title) {
		ShowWindow(window, SW_MINIMIZE);
		ASSERT_TRUE(wait_until([&] { return IsIconic(window) != FALSE; }, 5s));
		PostMessageW(balloon_icon, icon_message, 0, MAKELPARAM(NIN_BALLOONUSERCLICK, 1));
		EXPECT_TRUE(wait_until([&] { return engine_trace().find("> page notification event click " + title) != std::string::npos; }, 10s)) << engine_trace();
		EXPECT_TRUE(wait_until([&] { return !IsIconic(window) && IsWindowVisible(window); }, 5s));
		EXPECT_TRUE(wait_until([&] { return engine_trace().find("> page notification event close " + title) != std::string::npos; }, 5s)) << engine_trace();
	};
	EXPECT_EQ(FindWindowW(L"bw-status-icon", L"Tarnwick notification"), nullptr);
	clicked_brings_back(icon, "Build");

	// The shell lost the status icon: the next notification comes with an icon of its own, which
	// goes with its balloon.
	NOTIFYICONDATAW lost{};
	lost.cbSize = sizeof lost;
	lost.hWnd = icon;
	lost.uID = 1;
	Shell_NotifyIconW(NIM_DELETE, &lost);
	std::ofstream(second).put('\n');
	HWND own = nullptr;
	ASSERT_TRUE(wait_until([&] { return (own = FindWindowW(L"bw-status-icon", L"Tarnwick notification")) != nullptr; }, 30s)) << engine_trace();
	ASSERT_TRUE(wait_until([&] { return engine_trace().find("> page notification event show Deploy") != std::string::npos; }, 10s)) << engine_trace();
	clicked_brings_back(own, "Deploy");
	EXPECT_TRUE(wait_until([&] { return FindWindowW(L"bw-status-icon", L"Tarnwick notification") == nullptr; }, 5s));

	PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

TEST_F(LauncherTrayWine, TheCommandLineWritesToItsConsoleAndDrivesTheRunningLauncher) {
	auto [help_code, help] = second(L"--help");
	EXPECT_EQ(help_code, 0);
	EXPECT_EQ(help.rfind("Usage: tarnwick_desktop [--help", 0), 0u) << help;
	auto [version_code, version] = second(L"--version");
	EXPECT_EQ(version_code, 0);
	EXPECT_NE(version.find("tarnwick_desktop "), std::string::npos) << version;
	EXPECT_NE(version.find("WebView2 Runtime"), std::string::npos) << version;
	auto [bad_code, bad] = second(L"--open //host/x");
	EXPECT_EQ(bad_code, 2);
	EXPECT_NE(bad.find("--open takes a path"), std::string::npos) << bad;
	auto [none_code, none] = second(L"--quit");
	EXPECT_EQ(none_code, 0);
	EXPECT_NE(none.find("no launcher of this user runs"), std::string::npos) << none;

	// A stale Run value is rewritten at start.
	HKEY run = nullptr;
	RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run, nullptr);
	std::wstring stale = L"\"C:\\gone\\tarnwick_desktop.exe\" --minimized";
	RegSetValueExW(run, L"Tarnwick", 0, REG_SZ, reinterpret_cast<const BYTE*>(stale.c_str()), static_cast<DWORD>((stale.size() + 1) * sizeof(wchar_t)));
	RegCloseKey(run);
	HWND window = launch_with_page_actions(L"");
	ASSERT_NE(window, nullptr) << engine_calls();
	EXPECT_EQ(run_value().value_or(""), expected_run_value());

	EXPECT_EQ(second(L"--toggle").first, 0);
	EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(window) || IsIconic(window); }, 5s));
	EXPECT_EQ(second(L"--show").first, 0);
	EXPECT_TRUE(wait_until([&] { return IsWindowVisible(window) && !IsIconic(window); }, 5s));
	EXPECT_EQ(second(L"--open /a/b?x=1").first, 0);
	EXPECT_TRUE(wait_until([&] { return engine_calls().find("Navigate(http://127.0.0.1:37338/a/b?x=1)") != std::string::npos; }, 10s)) << engine_calls();
	EXPECT_EQ(second(L"--quit").first, 0);
	EXPECT_EQ(launcher_exit_code(), 0);
}

} // namespace
} // namespace tarnwick
