#include "daemon/system.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>
#include <system_error>
#include <thread>

namespace tarnwick::daemon::system {

namespace {

std::string to_utf8(std::wstring_view text) {
	if (text.empty()) return {};
	int length = static_cast<int>(text.size());
	int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
	std::string out(static_cast<std::size_t>(size), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
	return out;
}

// The system's message for the code, without the line break it ends with.
Error os_error(DWORD code) {
	wchar_t* buffer = nullptr;
	DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
	                              nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
	std::wstring_view message(buffer != nullptr ? buffer : L"", length);
	while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n')) message.remove_suffix(1);
	std::string text = message.empty() ? "unknown error" : to_utf8(message);
	LocalFree(buffer);
	return Error::os(static_cast<int>(code), std::move(text));
}

// A directory the system names through a (buffer, size) call.
std::optional<std::filesystem::path> system_path(UINT(WINAPI* get)(LPWSTR, UINT)) {
	std::wstring buffer(MAX_PATH, L'\0');
	for (;;) {
		UINT length = get(buffer.data(), static_cast<UINT>(buffer.size()));
		if (length == 0) return std::nullopt;
		if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
		buffer.resize(length);
	}
}

// Standard handles as inheritable duplicates, for the child to use as its own; closed on scope exit.
class InheritedStreams {
public:
	InheritedStreams() {
		const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
		for (std::size_t i = 0; i < handles_.size(); i++) {
			HANDLE own = GetStdHandle(which[i]);
			if (own == nullptr || own == INVALID_HANDLE_VALUE) continue;
			HANDLE process = GetCurrentProcess();
			if (!DuplicateHandle(process, own, process, &handles_[i], 0, TRUE, DUPLICATE_SAME_ACCESS)) handles_[i] = nullptr;
		}
	}
	~InheritedStreams() {
		for (HANDLE handle : handles_)
			if (handle != nullptr) CloseHandle(handle);
	}
	InheritedStreams(const InheritedStreams&) = delete;
	InheritedStreams& operator=(const InheritedStreams&) = delete;

	bool any() const { return handles_[0] != nullptr || handles_[1] != nullptr || handles_[2] != nullptr; }
	HANDLE input() const { return handles_[0]; }
	HANDLE output() const { return handles_[1]; }
	HANDLE error() const { return handles_[2]; }

private:
	std::array<HANDLE, 3> handles_{};
};

} // namespace

std::optional<std::filesystem::path> executable_path() {
	std::wstring buffer(MAX_PATH, L'\0');
	for (;;) {
		DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
		if (length == 0) return std::nullopt;
		if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
		buffer.resize(buffer.size() * 2);
	}
}

std::vector<std::filesystem::path> system_directories() {
	std::vector<std::filesystem::path> directories;
	if (auto system = system_path(GetSystemDirectoryW)) directories.push_back(std::move(*system));
	if (auto windows = system_path(GetWindowsDirectoryW)) directories.push_back(std::move(*windows));
	return directories;
}

std::vector<std::filesystem::path> path_entries() {
	std::vector<std::filesystem::path> entries;
	DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
	if (size == 0) return entries;
	std::wstring variable(size, L'\0');
	variable.resize(GetEnvironmentVariableW(L"PATH", variable.data(), size));
	// Entries are separated by ';'; double quotes group, so a quoted entry may hold ';', and are
	// not part of the entry.
	std::wstring entry;
	bool quoted = false;
	for (wchar_t c : variable) {
		if (c == L'"') {
			quoted = !quoted;
		} else if (c == L';' && !quoted) {
			if (!entry.empty()) entries.emplace_back(entry);
			entry.clear();
		} else {
			entry.push_back(c);
		}
	}
	if (!entry.empty()) entries.emplace_back(entry);
	return entries;
}

std::filesystem::path daemon_file_name() { return std::filesystem::path(std::string(daemon_name) + ".exe"); }

bool is_program_file(const std::filesystem::path& path) {
	DWORD attributes = GetFileAttributesW(path.c_str());
	return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

// The file the daemon writes its output to, opened for appending and inheritable; null when there
// is none or it cannot be opened (the daemon then writes nowhere).
HANDLE open_output(const std::filesystem::path& path) {
	if (path.empty()) return nullptr;
	SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
	HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, OPEN_ALWAYS,
	                          FILE_ATTRIBUTE_NORMAL, nullptr);
	return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

} // namespace

Status start_detached(const std::filesystem::path& program, const StartOptions& options) {
	std::wstring command_line(daemon_name.begin(), daemon_name.end());
	InheritedStreams streams;
	HANDLE output = open_output(options.output);
	STARTUPINFOEXW startup{};
	startup.StartupInfo.cb = sizeof startup;
	bool inherit = streams.any() || output != nullptr;
	// The daemon outlives the launcher: it inherits its three standard handles and nothing else of
	// ours, even handles other code made inheritable.
	std::vector<HANDLE> inherited;
	if (inherit) {
		startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
		startup.StartupInfo.hStdInput = streams.input();
		startup.StartupInfo.hStdOutput = output != nullptr ? output : streams.output();
		startup.StartupInfo.hStdError = output != nullptr ? output : streams.error();
		for (HANDLE handle : {startup.StartupInfo.hStdInput, startup.StartupInfo.hStdOutput, startup.StartupInfo.hStdError})
			if (handle != nullptr && std::find(inherited.begin(), inherited.end(), handle) == inherited.end()) inherited.push_back(handle);
	}
	SIZE_T list_size = 0;
	InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
	std::vector<unsigned char> list(list_size);
	auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
	bool listed = !inherited.empty() && InitializeProcThreadAttributeList(attributes, 1, 0, &list_size) &&
	              UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(), inherited.size() * sizeof(HANDLE), nullptr, nullptr);
	if (listed) startup.lpAttributeList = attributes;
	// No console window of its own, which would also end the daemon when closed.
	DWORD flags = CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
	PROCESS_INFORMATION info{};
	BOOL created = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr, &startup.StartupInfo, &info);
	DWORD error = GetLastError();
	if (listed) DeleteProcThreadAttributeList(attributes);
	if (output != nullptr) CloseHandle(output);
	if (!created) return os_error(error);
	CloseHandle(info.hThread);
	auto pid = static_cast<std::uint64_t>(info.dwProcessId);
	if (!options.on_exit) {
		CloseHandle(info.hProcess);
		return Status::running(pid, true);
	}
	// Only watched: it runs on its own, and the handle goes when it has ended.
	HANDLE process = info.hProcess;
	try {
		std::thread([process, on_exit = options.on_exit] {
			WaitForSingleObject(process, INFINITE);
			DWORD code = 0;
			GetExitCodeProcess(process, &code);
			CloseHandle(process);
			on_exit("exited with status " + std::to_string(code));
		}).detach();
	} catch (const std::system_error&) {
		CloseHandle(process);
	}
	return Status::running(pid, true);
}

void end_process(std::uint64_t pid, std::chrono::milliseconds grace) {
	HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
	if (process == nullptr) return;
	TerminateProcess(process, 1);
	WaitForSingleObject(process, static_cast<DWORD>(grace.count()));
	CloseHandle(process);
}

} // namespace tarnwick::daemon::system
