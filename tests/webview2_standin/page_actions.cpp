// Page actions from the environment (STANDIN_PAGE_ACTIONS), for a program that loads the engine in a
// process the test cannot call into: run through the same page-side paths as the test controls.
#include "objects.hpp"
#include "text.hpp"

#include <functional>
#include <map>
#include <sstream>

namespace standin {

namespace {

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator) {
	std::vector<std::wstring> parts;
	std::wstringstream stream(text);
	for (std::wstring part; std::getline(stream, part, separator);)
		if (separator != L' ' || !part.empty()) parts.push_back(part);
	return parts;
}

std::string narrow(const std::wstring& text) {
	int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
	std::string result(static_cast<size_t>(length), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr, nullptr);
	return result;
}

void run_action(WebView& webview, const std::wstring& action) {
	size_t equals = action.find(L'=');
	std::wstring name = action.substr(0, equals);
	std::wstring value = equals == std::wstring::npos ? std::wstring() : action.substr(equals + 1);
	if (name == L"click" && !value.empty()) {
		webview.page_navigate(value, NavigationCause{true});
	} else if (name == L"open" && !value.empty()) {
		webview.page_open_window(value, true);
	} else if (name == L"download" && !value.empty()) {
		auto fields = split(value, L'|');
		fields.resize(4);
		webview.page_download(DownloadSpec{fields[0], fields[1].empty() ? L"" : L"attachment; filename=\"" + fields[1] + L"\"", fields[2], narrow(fields[3])});
	} else if (name == L"permission" && permission_kind_named(split(value, L'|').empty() ? L"" : split(value, L'|')[0])) {
		auto fields = split(value, L'|');
		std::optional<std::wstring> origin;
		if (fields.size() > 1) origin = fields[1];
		webview.page_request_permission(*permission_kind_named(fields[0]), origin, false);
	} else if (name == L"notify" && !value.empty()) {
		auto fields = split(value, L'|');
		fields.resize(3);
		webview.page_notify(NotificationSpec{fields[0], fields[1], fields[2], false});
	} else if (name == L"close-notification" && value.empty()) {
		webview.page_close_notification();
	} else if (name == L"crash" && value.empty()) {
		webview.page_process_failed(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED, COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED, 1);
	} else {
		Engine::get().violation("unknown page action " + logged(action));
	}
}

// Continuations waiting for a file, by their thread timer.
std::map<UINT_PTR, std::function<bool()>>& waiting() {
	static std::map<UINT_PTR, std::function<bool()>> tasks;
	return tasks;
}

void CALLBACK check_waiting(HWND, UINT, UINT_PTR timer, DWORD) {
	auto found = waiting().find(timer);
	if (found == waiting().end() || !found->second()) return;
	KillTimer(nullptr, timer);
	waiting().erase(timer);
}

void run_actions(Ref<WebView> webview, std::vector<std::wstring> actions, size_t from) {
	for (size_t i = from; i < actions.size() && !webview->closed(); i++) {
		Engine::get().record_event("page action " + logged(actions[i]));
		if (actions[i].rfind(L"wait-for=", 0) == 0) {
			std::wstring path = actions[i].substr(9);
			UINT_PTR timer = SetTimer(nullptr, 0, 50, check_waiting);
			waiting()[timer] = [webview, actions, i, path] {
				if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
				run_actions(webview, actions, i + 1);
				return true;
			};
			return;
		}
		run_action(*webview.get(), actions[i]);
	}
}

} // namespace

void WebView::run_environment_page_actions() { run_actions(Ref<WebView>::share(this), split(Engine::get().take_page_actions(), L' '), 0); }

} // namespace standin
