#include "support/test_sandbox.hpp"

#include <cstdlib>
#include <string>

namespace tarnwick::testing {

namespace {
SandboxState state;
}

// Windows programs run under Wine: the script that starts the suite puts the whole Wine session
// (its processes and, being the host's, its sockets) into one sandbox and says so in the variable.
void enter_test_sandbox() {
	const char* inherited = std::getenv("TARNWICK_TEST_SANDBOX");
	std::string value = inherited != nullptr ? inherited : "shared:not started inside a test sandbox";
	state.isolated = value == "isolated";
	if (!state.isolated) state.reason = value.substr(value.find(':') + 1);
}

const SandboxState& test_sandbox() { return state; }

} // namespace tarnwick::testing
