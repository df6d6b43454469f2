#include "edge2/program_copy.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace bw::edge2_test {

namespace fs = std::filesystem;

namespace {

constexpr wchar_t child_flag[] = L"--edge2-child";

} // namespace

bool is_child() { return std::wstring_view(GetCommandLineW()).find(child_flag) != std::wstring_view::npos; }

fs::path this_program() {
	wchar_t path[MAX_PATH] = {};
	GetModuleFileNameW(nullptr, path, MAX_PATH);
	return path;
}

void remove_folder(const fs::path& folder) {
	std::error_code error;
	for (int attempt = 0; attempt < 50; attempt++) {
		fs::remove_all(folder, error);
		if (!error) return;
		Sleep(100);
	}
}

fs::path folder_with_copy(const wchar_t* name) {
	fs::path folder = fs::temp_directory_path() / (std::wstring(L"edge2-") + name + L"-" + std::to_wstring(GetCurrentProcessId()));
	remove_folder(folder);
	fs::create_directories(folder);
	fs::copy_file(this_program(), folder / this_program().filename());
	return folder;
}

ChildRun run_child(const fs::path& folder, const wchar_t* filter, const fs::path& current_folder) {
	fs::path output_file = folder / L"output.txt";
	SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
	HANDLE output = CreateFileW(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
	STARTUPINFOW startup{};
	startup.cb = sizeof startup;
	startup.dwFlags = STARTF_USESTDHANDLES;
	startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
	startup.hStdOutput = output;
	startup.hStdError = output;
	std::wstring command =
	    L"\"" + (folder / this_program().filename()).wstring() + L"\" --gtest_filter=" + filter + L" " + child_flag;
	PROCESS_INFORMATION process{};
	ChildRun run;
	if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, current_folder.empty() ? folder.c_str() : current_folder.c_str(), &startup,
	                    &process)) {
		ADD_FAILURE() << "cannot start the copy: " << GetLastError();
		CloseHandle(output);
		return run;
	}
	if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) ADD_FAILURE() << "the copy did not end";
	GetExitCodeProcess(process.hProcess, &run.exit_code);
	CloseHandle(process.hThread);
	CloseHandle(process.hProcess);
	CloseHandle(output);
	std::ifstream in(output_file, std::ios::binary);
	std::stringstream text;
	text << in.rdbuf();
	run.output = text.str();
	return run;
}

} // namespace bw::edge2_test
