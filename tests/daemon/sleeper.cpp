// Stands in for the daemon in the supervisor tests: copied to the names a test needs, it sleeps for
// a while (60 seconds, or as many as its first argument says) and ends by itself, so that nothing
// outlives a failed test for long. Started without arguments, the way the supervisor starts the
// daemon, it first prints its path to standard output and appends "<pid>\t<path>" to the file
// named by TARNWICK_TEST_STARTED.
#include "child_process.hpp"
#include "daemon/system.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
	if (argc == 1) {
		auto path = tarnwick::daemon::system::executable_path().value_or("?").u8string();
		std::string text(path.begin(), path.end());
		std::printf("daemon stand-in started: %s\n", text.c_str());
		std::fflush(stdout);
		if (const char* record = std::getenv("TARNWICK_TEST_STARTED")) {
			std::string line = std::to_string(tarnwick::test::current_process_id()) + "\t" + text + "\n";
			if (std::FILE* file = std::fopen(record, "a")) {
				std::fwrite(line.data(), 1, line.size(), file);
				std::fclose(file);
			}
		}
	}
	int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
	std::this_thread::sleep_for(std::chrono::seconds(seconds));
}
