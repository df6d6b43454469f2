// Where the daemon is looked for on Windows.
#include "daemon/daemon.hpp"
#include "daemon_fixture.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace tarnwick::test {
namespace {

std::filesystem::path named_directory(UINT(WINAPI* get)(LPWSTR, UINT)) {
	wchar_t buffer[MAX_PATH + 1];
	return std::filesystem::path(std::wstring(buffer, get(buffer, MAX_PATH + 1)));
}

TEST_F(DaemonTest, SearchGoesFromTheLauncherToSystemWindowsAndPathDirectories) {
	// Quotes group an entry that holds ';' and are not part of it; empty entries are skipped, and so
	// are the relative ones, rooted ("\\tools") and drive-relative ("C:tools") included.
	set_environment("PATH", "C:\\first;;relative;.\\dot;\\rooted;C:drive;\"C:\\second;part\";C:\\third;\"..\\up\";");
	std::vector<std::filesystem::path> expected{test_program_directory(), named_directory(GetSystemDirectoryW),
	                                            named_directory(GetWindowsDirectoryW), "C:\\first", "C:\\second;part", "C:\\third"};
	EXPECT_EQ(daemon::search_directories(), expected);
}

} // namespace
} // namespace tarnwick::test
