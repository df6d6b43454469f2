#include "support/session_bus.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>

namespace tarnwick::testing {

namespace {

namespace fs = std::filesystem;

fs::path runtime_folder() {
	const char* runtime = std::getenv("XDG_RUNTIME_DIR");
	return runtime != nullptr && *runtime != '\0' ? fs::path(runtime) : fs::temp_directory_path();
}

// Any client may own any name and talk to anyone: the bus serves one test.
fs::path write_configuration(const fs::path& folder, const std::vector<fs::path>& service_folders) {
	fs::path file = folder / "session-bus.conf";
	std::ofstream out(file);
	out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
	       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
	       "<busconfig>\n  <type>session</type>\n  <keep_umask/>\n"
	    << "  <listen>unix:dir=" << folder.string() << "</listen>\n  <auth>EXTERNAL</auth>\n";
	for (const fs::path& services : service_folders) out << "  <servicedir>" << services.string() << "</servicedir>\n";
	out << "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
	       "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
	return file;
}

} // namespace

SessionBus::SessionBus(std::vector<fs::path> service_folders) {
	fs::path folder = runtime_folder() / ("bus-" + std::to_string(getpid()));
	std::error_code ignored;
	fs::create_directories(folder, ignored);
	fs::path configuration = write_configuration(folder, service_folders);
	int address_pipe[2];
	if (pipe2(address_pipe, O_CLOEXEC) != 0) {
		error_ = std::string("pipe: ") + std::strerror(errno);
		return;
	}
	std::string config_argument = "--config-file=" + configuration.string();
	std::string fd_argument = "--print-address=3";
	// Its complaints (it may not raise its descriptor limit in a user namespace) go to a file.
	std::string log = (folder / "bus.log").string();
	daemon_ = fork();
	if (daemon_ == 0) {
		dup2(address_pipe[1], 3);
		int null = open("/dev/null", O_RDWR);
		dup2(null, 0);
		int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
		if (log_fd >= 0) dup2(log_fd, 2);
		execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile", config_argument.c_str(), fd_argument.c_str(),
		       static_cast<char*>(nullptr));
		_exit(127);
	}
	close(address_pipe[1]);
	if (daemon_ < 0) {
		error_ = std::string("fork: ") + std::strerror(errno);
		close(address_pipe[0]);
		return;
	}
	// The daemon prints its address once it listens.
	std::string printed;
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
	while (printed.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
		pollfd ready{address_pipe[0], POLLIN, 0};
		if (poll(&ready, 1, 100) <= 0) continue;
		char buffer[256];
		ssize_t got = read(address_pipe[0], buffer, sizeof buffer);
		if (got <= 0) break;
		printed.append(buffer, static_cast<std::size_t>(got));
	}
	close(address_pipe[0]);
	if (printed.find('\n') == std::string::npos) {
		error_ = "dbus-daemon did not start (is it installed?)";
		return;
	}
	address_ = printed.substr(0, printed.find('\n'));
	if (const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
		had_previous_ = true;
		previous_address_ = previous;
	}
	setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

SessionBus::~SessionBus() {
	if (had_previous_) setenv("DBUS_SESSION_BUS_ADDRESS", previous_address_.c_str(), 1);
	else if (!address_.empty()) unsetenv("DBUS_SESSION_BUS_ADDRESS");
	if (daemon_ > 0) {
		kill(daemon_, SIGTERM);
		while (waitpid(daemon_, nullptr, 0) < 0 && errno == EINTR) {}
	}
}

} // namespace tarnwick::testing
