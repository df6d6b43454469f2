// Copies of the test program run from folders of their own (without WebView2Loader.dll), as the
// child that builds a browser window.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace bw::edge2_test {

// True in a copy started by run_child.
bool is_child();

std::filesystem::path this_program();

// Removes the folder; under Wine a child's files may stay open a moment after the child ended.
void remove_folder(const std::filesystem::path& folder);

// A fresh folder under the temporary folder holding a copy of this program.
std::filesystem::path folder_with_copy(const wchar_t* name);

struct ChildRun {
	DWORD exit_code = 0;
	// Standard output and error together.
	std::string output;
};

// Runs the copy in the folder with only the tests matching the filter (e.g. L"LoaderChild.*"), in
// that folder or in the given current folder.
ChildRun run_child(const std::filesystem::path& folder, const wchar_t* filter, const std::filesystem::path& current_folder = {});

} // namespace bw::edge2_test
