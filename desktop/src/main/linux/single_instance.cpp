// The lock is an flock on a file in a folder of the user's own: $XDG_RUNTIME_DIR/tarnwick, else
// tarnwick-<uid> in $TMPDIR or /tmp, made 0700 and checked (lstat) to be a directory of ours that
// others cannot enter. Another user can make that name first: then the next of a few numbered
// names serves. The holder listens on a Unix socket beside the lock, where a later launch writes
// "raise" and reads the answer. Each end hears only a peer of the same user (SO_PEERCRED), and
// nothing either end reads or writes may take longer than io_limit.
#include "single_instance.hpp"

#include "launcher_log.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace tarnwick {

namespace {

using namespace std::chrono_literals;
using Answer = SingleInstance::Answer;
using Clock = std::chrono::steady_clock;

// How long a later launch waits for the holder's window, and for a closing holder to end.
constexpr auto window_within = 20s;
constexpr auto end_within = 10s;
// Requests served at once; more are turned away and asked again.
constexpr int most_served = 4;
// Numbered names tried in the temporary folder when another user holds the first ones.
constexpr int temporary_names = 10;

// A directory (not a link) of this user's that no other user can enter.
bool ours(const std::filesystem::path& folder) {
	struct stat info {};
	if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return false;
	return (info.st_mode & 077) == 0 || chmod(folder.c_str(), 0700) == 0;
}

std::filesystem::path instance_folder() {
	if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
		std::filesystem::path folder = std::filesystem::path(runtime) / "tarnwick";
		mkdir(folder.c_str(), 0700);
		if (ours(folder)) return folder;
	}
	const char* temporary = std::getenv("TMPDIR");
	std::filesystem::path base = temporary != nullptr && *temporary == '/' ? temporary : "/tmp";
	std::string name = "tarnwick-" + std::to_string(getuid());
	// Every launch walks the same names and stops at the first of its own, so all agree.
	for (int i = 0; i < temporary_names; i++) {
		std::filesystem::path folder = base / (i == 0 ? name : name + "." + std::to_string(i));
		mkdir(folder.c_str(), 0700);
		if (ours(folder)) return folder;
	}
	return {};
}

std::optional<sockaddr_un> socket_address(const std::filesystem::path& path) {
	sockaddr_un address{};
	address.sun_family = AF_UNIX;
	if (path.native().size() >= sizeof address.sun_path) return std::nullopt;
	std::memcpy(address.sun_path, path.c_str(), path.native().size());
	return address;
}

bool same_user(int connection) {
	ucred peer{};
	socklen_t size = sizeof peer;
	return getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

// Waits for the non-blocking socket until the deadline; false when it passed.
bool ready(int connection, short events, Clock::time_point deadline) {
	for (;;) {
		auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
		if (left <= 0) return false;
		pollfd wanted{connection, events, 0};
		int result = poll(&wanted, 1, static_cast<int>(left));
		if (result > 0) return true;
		if (result < 0 && errno != EINTR) return false;
	}
}

// One line of at most command_line::longest_request bytes, all of it within the time given.
std::optional<std::string> read_line(int connection, std::chrono::milliseconds within) {
	auto deadline = Clock::now() + within;
	std::string line;
	while (line.size() <= command_line::longest_request && ready(connection, POLLIN, deadline)) {
		char buffer[256];
		ssize_t got = recv(connection, buffer, sizeof buffer, 0);
		if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
		if (got > 0) line.append(buffer, static_cast<std::size_t>(got));
		if (line.ends_with('\n')) return line;
	}
	// Too long to be a request: handed on, to be refused and logged.
	if (line.size() > command_line::longest_request) return line;
	return std::nullopt;
}

bool write_all(int connection, std::string_view text, std::chrono::milliseconds within) {
	auto deadline = Clock::now() + within;
	while (!text.empty() && ready(connection, POLLOUT, deadline)) {
		ssize_t sent = send(connection, text.data(), text.size(), MSG_NOSIGNAL);
		if (sent < 0 && errno != EAGAIN && errno != EINTR) return false;
		if (sent > 0) text.remove_prefix(static_cast<std::size_t>(sent));
	}
	return text.empty();
}

// The holder's answer; nothing when nobody of ours answered in time.
std::optional<Answer> ask(const std::filesystem::path& path, std::string_view request) {
	std::optional<sockaddr_un> address = socket_address(path);
	int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
	if (!address || connection < 0) {
		if (connection >= 0) close(connection);
		return std::nullopt;
	}
	std::optional<Answer> answer;
	if (connect(connection, reinterpret_cast<sockaddr*>(&*address), sizeof *address) == 0 && same_user(connection) &&
	    write_all(connection, request, SingleInstance::io_limit)) {
		// The holder may take io_limit to read the request and answer_limit to answer it.
		if (auto reply = read_line(connection, SingleInstance::io_limit + SingleInstance::answer_limit)) answer = instance_words::answer(*reply);
	}
	close(connection);
	return answer;
}

// What the listening thread and the requests it serves share; they may outlive the instance.
struct Listening {
	std::function<Answer(const command_line::Command&)> raise;
	std::atomic<int> served{0};
};

void serve(Listening& listening, int connection) {
	std::optional<std::string> request = read_line(connection, SingleInstance::io_limit);
	std::optional<command_line::Command> command = instance_words::heard(request);
	if (!command) return;
	write_all(connection, instance_words::reply(listening.raise(*command)), SingleInstance::io_limit);
}

class LinuxInstance final : public SingleInstance {
public:
	LinuxInstance(int lock, int listener) : lock_(lock), listener_(listener) {
		if (listener_ >= 0 && pipe2(stop_, O_CLOEXEC | O_NONBLOCK) != 0) stop_[0] = stop_[1] = -1;
	}

	~LinuxInstance() override {
		stop_listening();
		if (thread_.joinable())
			thread_.join();
		else if (listener_ >= 0)
			close(listener_);
		for (int end : stop_)
			if (end >= 0) close(end);
		if (lock_ >= 0) close(lock_);
	}

	void on_raise_request(std::function<Answer(const command_line::Command&)> raise) override {
		if (listener_ < 0 || stop_[0] < 0 || thread_.joinable()) return;
		auto listening = std::make_shared<Listening>();
		listening->raise = std::move(raise);
		thread_ = std::thread([listening, listener = listener_, stop = stop_[0]] {
			for (;;) {
				pollfd wanted[2]{{listener, POLLIN, 0}, {stop, POLLIN, 0}};
				if (poll(wanted, 2, -1) < 0 && errno != EINTR) break;
				if (wanted[1].revents != 0) break;
				if (wanted[0].revents == 0) continue;
				int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
				if (connection < 0) {
					if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) std::this_thread::sleep_for(100ms);
					continue;
				}
				if (!same_user(connection) || listening->served >= most_served) {
					close(connection);
					continue;
				}
				listening->served++;
				std::thread([listening, connection] {
					serve(*listening, connection);
					close(connection);
					listening->served--;
				}).detach();
			}
			// Later launches find nobody listening while the lock is held: they wait for it.
			close(listener);
		});
	}

	void stop_listening() override {
		if (stop_[1] >= 0) (void)!write(stop_[1], "x", 1);
	}

private:
	// Held until the instance goes, with the process at the latest.
	int lock_;
	int listener_;
	int stop_[2]{-1, -1};
	std::thread thread_;
};

int listen_at(const std::filesystem::path& path) {
	std::optional<sockaddr_un> address = socket_address(path);
	if (!address) return -1;
	// The lock is ours: a socket left by a crashed launcher goes.
	unlink(path.c_str());
	int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
	if (listener >= 0 && (bind(listener, reinterpret_cast<sockaddr*>(&*address), sizeof *address) != 0 || listen(listener, 8) != 0)) {
		close(listener);
		listener = -1;
	}
	return listener;
}

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(Outcome& outcome, std::string_view request) {
	outcome = Outcome::First;
	std::filesystem::path folder = instance_folder();
	int lock = folder.empty() ? -1 : open((folder / "launcher.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
	if (lock < 0) {
		launcher_log::write(folder.empty() ? "other users hold every folder name for the instance lock: not checking for another launcher"
		                                   : "cannot open the instance lock in " + folder.string() + ": not checking for another launcher");
		return std::make_unique<LinuxInstance>(-1, -1);
	}
	std::filesystem::path socket_path = folder / "launcher.socket";
	auto deadline = Clock::now() + window_within;
	bool closing = false, silent = false, another = false;
	while (flock(lock, LOCK_EX | LOCK_NB) != 0) {
		another = true;
		// Another launcher holds it: it may be starting (no window yet) or ending.
		std::optional<Answer> answer = ask(socket_path, request);
		if (answer == Answer::Raised) {
			outcome = Outcome::Raised;
			close(lock);
			return nullptr;
		}
		if (answer == Answer::Closing && !closing) {
			launcher_log::write("another launcher is closing: waiting for it to end");
			closing = true;
			deadline = Clock::now() + end_within;
		}
		// It stopped listening as it began to end, or it is starting and not listening yet.
		if (!answer && !silent) {
			launcher_log::write("another launcher does not answer: waiting for it");
			silent = true;
		}
		if (Clock::now() > deadline) {
			launcher_log::write("another launcher holds the instance lock but raises no window; starting anyway");
			close(lock);
			return std::make_unique<LinuxInstance>(-1, -1);
		}
		std::this_thread::sleep_for(100ms);
	}
	if (another) outcome = Outcome::AfterAnother;
	int listener = listen_at(socket_path);
	if (listener < 0) launcher_log::write("cannot listen at " + socket_path.string() + ": later launches cannot raise this window");
	return std::make_unique<LinuxInstance>(lock, listener);
}

} // namespace tarnwick
