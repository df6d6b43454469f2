// The lock is an flock on a file in a per-user folder ($XDG_RUNTIME_DIR/tarnwick, or
// /tmp/tarnwick-<uid> owned by the user and closed to others); the holder listens on a Unix socket
// beside it, where a later launch writes "raise" and waits for "ok".
#include "single_instance.hpp"

#include "launcher_log.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace tarnwick {

namespace {

std::filesystem::path instance_folder() {
	if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
		std::filesystem::path folder = std::filesystem::path(runtime) / "tarnwick";
		if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return folder;
	}
	std::filesystem::path folder = "/tmp/tarnwick-" + std::to_string(getuid());
	mkdir(folder.c_str(), 0700);
	// Someone else's folder of that name is not ours to trust.
	struct stat info {};
	if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return {};
	chmod(folder.c_str(), 0700);
	return folder;
}

sockaddr_un socket_address(const std::filesystem::path& path) {
	sockaddr_un address{};
	address.sun_family = AF_UNIX;
	std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
	return address;
}

// Asks the holder to raise its window; false when nobody answered.
bool ask_to_raise(const std::filesystem::path& path) {
	int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (connection < 0) return false;
	sockaddr_un address = socket_address(path);
	bool answered = false;
	if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && write(connection, "raise\n", 6) == 6) {
		char reply[8];
		answered = read(connection, reply, sizeof reply) > 0;
	}
	close(connection);
	return answered;
}

class LinuxInstance final : public SingleInstance {
public:
	LinuxInstance(int lock, int listener) : lock_(lock), listener_(listener) {}

	void on_raise_request(std::function<void()> raise) override {
		if (listener_ < 0) return;
		std::thread([listener = listener_, raise = std::move(raise)] {
			for (;;) {
				int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
				if (connection < 0) {
					if (errno == EINTR || errno == ECONNABORTED) continue;
					return;
				}
				char request[16];
				if (read(connection, request, sizeof request) > 0) {
					raise();
					(void)!write(connection, "ok\n", 3);
				}
				close(connection);
			}
		}).detach();
	}

private:
	// Held until the process ends.
	int lock_;
	int listener_;
};

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(Outcome& outcome) {
	outcome = Outcome::First;
	std::filesystem::path folder = instance_folder();
	if (folder.empty()) {
		launcher_log::write("no private folder for the instance lock: not checking for another launcher");
		return std::make_unique<LinuxInstance>(-1, -1);
	}
	std::filesystem::path socket_path = folder / "launcher.socket";
	int lock = open((folder / "launcher.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
	while (lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) != 0) {
		// Another launcher holds it; it may still be starting and not listening yet.
		if (ask_to_raise(socket_path)) {
			outcome = Outcome::Raised;
			close(lock);
			return nullptr;
		}
		if (std::chrono::steady_clock::now() > deadline) {
			launcher_log::write("another launcher holds the instance lock but does not answer; starting anyway");
			close(lock);
			return std::make_unique<LinuxInstance>(-1, -1);
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(100));
	}
	// The lock is ours: a socket left by a crashed launcher goes.
	unlink(socket_path.c_str());
	int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_un address = socket_address(socket_path);
	if (listener >= 0 && (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0)) {
		close(listener);
		listener = -1;
	}
	return std::make_unique<LinuxInstance>(lock, listener);
}

} // namespace tarnwick
