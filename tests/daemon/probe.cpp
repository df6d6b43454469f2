// Stands in for the launcher: calls the supervisor once and prints "ok" or the error's text. Tests
// copy it into a directory of their own, since the supervisor looks beside its own executable.
#include "daemon/daemon.hpp"

#include <cstdio>

int main() {
	auto status = tarnwick::daemon::ensure_running();
	std::printf("%s\n", status.ok() ? "ok" : status.error().to_string().c_str());
	return status.ok() ? 0 : 1;
}
