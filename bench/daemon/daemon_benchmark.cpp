// The supervisor's check when the daemon runs (nothing is started), with 500 extra processes,
// against bare listings of /proc in the same run (the least any process scan has to do) and against
// `pgrep -x tarnwickd`.
// The daemon-named process starts last, so it has the highest id and the scan reaches it last.
#include "daemon/daemon.hpp"
#include "daemon/system.hpp"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int extra_processes = 500;

pid_t spawn(const std::string& program, const char* name) {
	char seconds[] = "600";
	std::string argument0 = name;
	char* argv[] = {argument0.data(), seconds, nullptr};
	pid_t pid = 0;
	if (int code = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ); code != 0) {
		std::fprintf(stderr, "cannot start %s: error %d\n", program.c_str(), code);
		std::exit(1);
	}
	return pid;
}

// 500 sleep processes, then one named tarnwickd (a copy of sleep); all killed and collected at the end.
class Processes {
public:
	Processes() {
		directory_ = std::filesystem::temp_directory_path() / ("tarnwick-daemon-benchmark-" + std::to_string(getpid()));
		std::filesystem::create_directories(directory_);
		auto daemon = directory_ / "tarnwickd";
		std::filesystem::copy_file("/bin/sleep", daemon);
		for (int i = 0; i < extra_processes; i++) pids_.push_back(spawn("/bin/sleep", "sleep"));
		pids_.push_back(spawn(daemon, "tarnwickd"));
	}
	~Processes() {
		for (pid_t pid : pids_) kill(pid, SIGKILL);
		for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
		std::filesystem::remove_all(directory_);
	}

private:
	std::filesystem::path directory_;
	std::vector<pid_t> pids_;
};

void BM_ListProc_Baseline(benchmark::State& state) {
	for (auto _ : state) {
		int count = 0;
		DIR* proc = opendir("/proc");
		while (const dirent* entry = readdir(proc)) count += entry->d_name[0] >= '0' && entry->d_name[0] <= '9';
		closedir(proc);
		benchmark::DoNotOptimize(count);
	}
}

// Every process's name, without stopping at the daemon.
void BM_VisitAllProcesses(benchmark::State& state) {
	for (auto _ : state) {
		int count = 0;
		tarnwick::daemon::system::visit_processes([&](const tarnwick::daemon::ProcessFacts&) { return ++count, false; });
		state.counters["processes"] = count;
	}
}

// What a shell script would run instead: `pgrep -x tarnwickd`, started and awaited.
void BM_Pgrep_Baseline(benchmark::State& state) {
	char name[] = "pgrep", exact[] = "-x", daemon[] = "tarnwickd";
	char* argv[] = {name, exact, daemon, nullptr};
	for (auto _ : state) {
		pid_t pid = 0;
		if (posix_spawn(&pid, "/usr/bin/pgrep", nullptr, nullptr, argv, environ) != 0) {
			state.SkipWithError("cannot start /usr/bin/pgrep");
			break;
		}
		int status = 0;
		waitpid(pid, &status, 0);
		if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("pgrep found no tarnwickd");
	}
}

void BM_EnsureRunning_DaemonRunning(benchmark::State& state) {
	for (auto _ : state) {
		auto status = tarnwick::daemon::ensure_running();
		if (!status.ok()) state.SkipWithError(status.error().to_string().c_str());
	}
}

BENCHMARK(BM_ListProc_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pgrep_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VisitAllProcesses)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnsureRunning_DaemonRunning)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
	// No daemon may be started here: the running copy must be the one found.
	setenv("PATH", "", 1);
	{
		Processes processes;
		benchmark::RunSpecifiedBenchmarks();
	}
	benchmark::Shutdown();
}
