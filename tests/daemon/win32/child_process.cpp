#include "child_process.hpp"

#include <windows.h>
#include <tlhelp32.h>

#include <stdexcept>
#include <utility>

namespace tarnwick::test {

const std::string_view executable_suffix = ".exe";
const int bad_executable_error = ERROR_BAD_EXE_FORMAT;
const char path_list_separator = ';';

namespace {

std::wstring wide(const std::string& text) {
	if (text.empty()) return {};
	int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
	std::wstring out(static_cast<std::size_t>(size), L'\0');
	MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
	return out;
}

// Quoted, which is enough for the paths and plain words the tests pass.
void append_argument(std::wstring& line, const std::wstring& argument) {
	if (!line.empty()) line += L' ';
	line += L'"' + argument + L'"';
}

} // namespace

struct Child::Handle {
	PROCESS_INFORMATION info{};
};

Child::Child(const std::filesystem::path& program, const ChildOptions& options) : handle_(new Handle{}) {
	std::wstring line;
	append_argument(line, program.native());
	for (const auto& argument : options.arguments) append_argument(line, wide(argument));

	STARTUPINFOW startup{};
	startup.cb = sizeof startup;
	HANDLE output = INVALID_HANDLE_VALUE;
	if (!options.output_file.empty()) {
		SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
		output = CreateFileW(options.output_file.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
		                     &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
		startup.dwFlags = STARTF_USESTDHANDLES;
		startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
		startup.hStdOutput = output;
		startup.hStdError = output;
	}
	const wchar_t* directory = options.working_directory.empty() ? nullptr : options.working_directory.c_str();
	BOOL created = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0, nullptr, directory,
	                              &startup, &handle_->info);
	DWORD error = GetLastError();
	if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
	if (!created) {
		delete handle_;
		throw std::runtime_error("cannot start " + program.string() + ": error " + std::to_string(error));
	}
	CloseHandle(handle_->info.hThread);
}

Child::Child(Child&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Child::~Child() {
	if (handle_ == nullptr) return;
	kill();
	CloseHandle(handle_->info.hProcess);
	delete handle_;
}

std::uint64_t Child::id() const { return handle_->info.dwProcessId; }

std::optional<int> Child::wait(std::chrono::milliseconds timeout) {
	if (WaitForSingleObject(handle_->info.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return std::nullopt;
	DWORD code = 0;
	GetExitCodeProcess(handle_->info.hProcess, &code);
	return static_cast<int>(code);
}

void Child::kill() {
	if (WaitForSingleObject(handle_->info.hProcess, 0) == WAIT_OBJECT_0) return;
	TerminateProcess(handle_->info.hProcess, 137);
	WaitForSingleObject(handle_->info.hProcess, 30'000);
}

std::uint64_t current_process_id() { return GetCurrentProcessId(); }

bool is_running(std::uint64_t id) {
	HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
	if (process == nullptr) return false;
	bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
	CloseHandle(process);
	return running;
}

std::vector<std::uint64_t> processes_named(const std::string& file_name) {
	std::vector<std::uint64_t> found;
	HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
	if (snapshot == INVALID_HANDLE_VALUE) return found;
	PROCESSENTRY32W entry{};
	entry.dwSize = sizeof entry;
	for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
		if (_wcsicmp(entry.szExeFile, wide(file_name).c_str()) == 0 && is_running(entry.th32ProcessID)) found.push_back(entry.th32ProcessID);
	CloseHandle(snapshot);
	return found;
}

void kill_process(std::uint64_t id) {
	HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
	if (process == nullptr) return;
	TerminateProcess(process, 137);
	WaitForSingleObject(process, 30'000);
	CloseHandle(process);
}

void set_environment(const std::string& name, const std::string& value) { SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str()); }

} // namespace tarnwick::test
