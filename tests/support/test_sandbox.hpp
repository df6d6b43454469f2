// Every test program starts in a sandbox of its own, so that tests neither see nor disturb each
// other, the user's programs or the user's files:
//   - a fresh home and XDG folders (config, cache, data, state, runtime) and TMPDIR, removed when
//     the program ends, so no engine cache or cookie of one run reaches the next;
//   - on Linux, when the system lets us, private network, process and mount namespaces: a loopback
//     interface of its own (the launcher's fixed port is always free), a process list that shows
//     only the test's own processes, and every process the test started ends with it, however the
//     test ends (the sandbox's first process reaps orphans and takes the rest down when it exits).
//   - on Linux, for programs run with TARNWICK_TEST_DISPLAY=private (bw_add_test's OWN_DISPLAY), an
//     X server of its own (Xvfb, 1280x1024x24) in place of the inherited DISPLAY, so that windows of
//     tests that run at the same time neither cover each other nor take each other's keys.
// Programs started by a sandboxed test inherit the sandbox (through TARNWICK_TEST_SANDBOX) instead
// of making one of their own. Without namespaces (no root and no user namespaces), tests that need
// them skip with the reason.
#pragma once

#include <string>

namespace tarnwick::testing {

struct SandboxState {
	// Processes and the network are the test's own.
	bool isolated = false;
	// Why not, when not.
	std::string reason;
};

// Call first in main, before any thread starts. On Linux the calling process only waits for the
// sandboxed copy of itself, cleans up and exits with its status; it returns in that copy.
void enter_test_sandbox();

const SandboxState& test_sandbox();

} // namespace tarnwick::testing

// Skips the test unless it runs isolated.
#define TARNWICK_REQUIRE_ISOLATION()                                                                                   \
	do {                                                                                                               \
		if (!::tarnwick::testing::test_sandbox().isolated)                                                             \
			GTEST_SKIP() << "needs a private network and process list: " << ::tarnwick::testing::test_sandbox().reason; \
	} while (false)
