// The main of the test programs: the tests run inside their sandbox (support/test_sandbox.hpp).
#include "support/test_sandbox.hpp"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
	tarnwick::testing::enter_test_sandbox();
	::testing::InitGoogleTest(&argc, argv);
	return RUN_ALL_TESTS();
}
