// Fatal checks of the lower layer's invariants.
#pragma once

#include <cstdio>
#include <cstdlib>

// Writes "Assertion `expr' failed." and ends the process.
[[noreturn]] inline void bw_failAssertion(const char* expression) {
	std::fprintf(stderr, "Assertion `%s' failed.\n", expression);
	std::fflush(stderr);
	std::abort();
}

// On a broken invariant: "[ASSERTION file:line] message\n" on standard error, then a failed assertion.
#define BW_ASSERT(condition, ...) \
	do { \
		if (!(condition)) { \
			std::fprintf(stderr, "[ASSERTION %s:%i] ", __FILE__, __LINE__); \
			std::fprintf(stderr, __VA_ARGS__); \
			std::fprintf(stderr, "\n"); \
			bw_failAssertion("0"); \
		} \
	} while (0)
