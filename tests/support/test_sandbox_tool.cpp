// test_sandbox: runs a command inside a test sandbox (support/test_sandbox.hpp), for the test
// scripts: everything the command starts ends with it, on a network and process list of its own,
// with a temporary home.
//
//   test_sandbox [--require-isolation] COMMAND [ARGUMENT...]
//
// Without namespaces the command still runs, with TARNWICK_TEST_SANDBOX=shared:<reason>; with
// --require-isolation it does not, and the exit code is 77 after a one-line reason.
#include "support/test_sandbox.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
	int first = 1;
	bool require_isolation = argc > 1 && std::strcmp(argv[1], "--require-isolation") == 0;
	if (require_isolation) first++;
	if (first >= argc) {
		std::fputs("usage: test_sandbox [--require-isolation] COMMAND [ARGUMENT...]\n", stderr);
		return 2;
	}
	tarnwick::testing::enter_test_sandbox();
	if (require_isolation && !tarnwick::testing::test_sandbox().isolated) {
		std::fprintf(stderr, "test_sandbox: %s\n", tarnwick::testing::test_sandbox().reason.c_str());
		return 77;
	}
	execvp(argv[first], argv + first);
	std::fprintf(stderr, "test_sandbox: cannot run %s: %s\n", argv[first], std::strerror(errno));
	return 127;
}
