// A named mutex in the session's namespace ("Local\") marks the holder; it listens on a named pipe
// whose name holds the session and the user's SID and that only the user may open. A later launch
// writes "raise" there and reads the answer; the holder raises its own window, once the later
// launch, the program the user just started, has let it take the foreground. Each end believes only
// a peer process of the same user (the pipe's client or server process and its token), and nothing
// either end reads or writes may take longer than io_limit.
#include "single_instance.hpp"

#include "launcher_log.hpp"

#include <windows.h>

#include <sddl.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

namespace tarnwick {

namespace {

using namespace std::chrono_literals;
using Answer = SingleInstance::Answer;
using Clock = std::chrono::steady_clock;

constexpr auto window_within = 20s;
constexpr auto end_within = 10s;
constexpr int most_served = 4;

struct Handle {
	HANDLE value = nullptr;
	explicit Handle(HANDLE handle = nullptr) : value(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
	Handle(const Handle&) = delete;
	Handle& operator=(const Handle&) = delete;
	~Handle() {
		if (value != nullptr) CloseHandle(value);
	}
};

// The user's SID as text ("S-1-5-21-..."); empty when the token cannot be read.
std::wstring process_user(DWORD pid) {
	Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
	HANDLE token_handle = nullptr;
	if (process.value == nullptr || !OpenProcessToken(process.value, TOKEN_QUERY, &token_handle)) return {};
	Handle token(token_handle);
	alignas(TOKEN_USER) char buffer[256];
	DWORD size = 0;
	if (!GetTokenInformation(token.value, TokenUser, buffer, sizeof buffer, &size)) return {};
	LPWSTR text = nullptr;
	if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
	std::wstring sid = text;
	LocalFree(text);
	return sid;
}

const std::wstring& own_user() {
	static const std::wstring sid = process_user(GetCurrentProcessId());
	return sid;
}

bool same_user(DWORD pid) {
	DWORD session = 0, own_session = 0;
	return !own_user().empty() && process_user(pid) == own_user() && ProcessIdToSessionId(pid, &session) &&
	       ProcessIdToSessionId(GetCurrentProcessId(), &own_session) && session == own_session;
}

std::wstring pipe_name() {
	DWORD session = 0;
	ProcessIdToSessionId(GetCurrentProcessId(), &session);
	return L"\\\\.\\pipe\\Tarnwick.Launcher." + std::to_wstring(session) + L"." + own_user();
}

// Waits for an overlapped read or write that was started; cancelled when it takes too long.
bool finished(HANDLE pipe, OVERLAPPED& pending, BOOL done, DWORD& transferred, Clock::time_point deadline) {
	if (!done && GetLastError() != ERROR_IO_PENDING) return false;
	auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
	if (WaitForSingleObject(pending.hEvent, static_cast<DWORD>(left > 0 ? left : 0)) != WAIT_OBJECT_0) {
		CancelIoEx(pipe, &pending);
		GetOverlappedResult(pipe, &pending, &transferred, TRUE);
		return false;
	}
	return GetOverlappedResult(pipe, &pending, &transferred, FALSE) != FALSE;
}

std::optional<std::string> read_line(HANDLE pipe, std::chrono::milliseconds within) {
	auto deadline = Clock::now() + within;
	Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
	std::string line;
	while (event.value != nullptr && line.size() <= command_line::longest_request) {
		char buffer[256];
		OVERLAPPED pending{};
		pending.hEvent = event.value;
		DWORD got = 0;
		BOOL done = ReadFile(pipe, buffer, static_cast<DWORD>(sizeof buffer), nullptr, &pending);
		if (!finished(pipe, pending, done, got, deadline) || got == 0) break;
		line.append(buffer, got);
		if (line.ends_with('\n')) return line;
	}
	// Too long to be a request: handed on, to be refused and logged.
	if (line.size() > command_line::longest_request) return line;
	return std::nullopt;
}

bool write_all(HANDLE pipe, std::string_view text, std::chrono::milliseconds within) {
	auto deadline = Clock::now() + within;
	Handle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
	while (event.value != nullptr && !text.empty()) {
		OVERLAPPED pending{};
		pending.hEvent = event.value;
		DWORD sent = 0;
		BOOL done = WriteFile(pipe, text.data(), static_cast<DWORD>(text.size()), nullptr, &pending);
		if (!finished(pipe, pending, done, sent, deadline) || sent == 0) return false;
		text.remove_prefix(sent);
	}
	return text.empty();
}

// The holder's answer; nothing when nobody of ours answered in time.
std::optional<Answer> ask(std::string_view request) {
	// The holder may act for this program as no more than who it is.
	Handle pipe(CreateFileW(pipe_name().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
	                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
	ULONG holder = 0;
	if (pipe.value == nullptr || !GetNamedPipeServerProcessId(pipe.value, &holder) || !same_user(holder)) return std::nullopt;
	// Only the program the user started may bring a window to the front: it lends that to the holder.
	AllowSetForegroundWindow(holder);
	if (!write_all(pipe.value, request, SingleInstance::io_limit)) return std::nullopt;
	auto reply = read_line(pipe.value, SingleInstance::io_limit + SingleInstance::answer_limit);
	return reply ? instance_words::answer(*reply) : std::nullopt;
}

struct Listening {
	std::function<Answer(const command_line::Command&)> raise;
	std::atomic<int> served{0};
};

void serve(Listening& listening, HANDLE pipe) {
	std::optional<std::string> request = read_line(pipe, SingleInstance::io_limit);
	std::optional<command_line::Command> command = instance_words::heard(request);
	if (!command) return;
	if (!write_all(pipe, instance_words::reply(listening.raise(*command)), SingleInstance::io_limit)) return;
	// Closing the pipe before the client read the answer would discard it: wait for the client to go.
	read_line(pipe, SingleInstance::io_limit);
}

class Win32Instance final : public SingleInstance {
public:
	explicit Win32Instance(HANDLE mutex) : mutex_(mutex), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

	~Win32Instance() override {
		stop_listening();
		if (thread_.joinable()) thread_.join();
		if (stop_ != nullptr) CloseHandle(stop_);
		if (mutex_ != nullptr) CloseHandle(mutex_);
	}

	void on_raise_request(std::function<Answer(const command_line::Command&)> raise) override {
		if (mutex_ == nullptr || stop_ == nullptr || thread_.joinable()) return;
		auto listening = std::make_shared<Listening>();
		listening->raise = std::move(raise);
		thread_ = std::thread([listening, stop = stop_] { listen(listening, stop); });
	}

	void stop_listening() override {
		if (stop_ != nullptr) SetEvent(stop_);
	}

private:
	static void listen(const std::shared_ptr<Listening>& listening, HANDLE stop) {
		// Only the user may open the pipe.
		std::wstring access = L"D:P(A;;GA;;;" + own_user() + L")";
		PSECURITY_DESCRIPTOR descriptor = nullptr;
		if (own_user().empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
			launcher_log::write("cannot make the instance pipe private: later launches cannot raise this window");
			return;
		}
		SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
		Handle connected_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
		bool first = true;
		while (connected_event.value != nullptr) {
			HANDLE pipe = CreateNamedPipeW(pipe_name().c_str(),
			                               PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
			                               PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, PIPE_UNLIMITED_INSTANCES, 64, 64, 0,
			                               &security);
			if (pipe == INVALID_HANDLE_VALUE) {
				// Another process made the first instance of the name: not ours to serve.
				if (first) launcher_log::write("another process holds the instance pipe: later launches cannot raise this window");
				if (first || WaitForSingleObject(stop, 100) == WAIT_OBJECT_0) break;
				continue;
			}
			first = false;
			OVERLAPPED pending{};
			pending.hEvent = connected_event.value;
			ResetEvent(connected_event.value);
			bool connected = ConnectNamedPipe(pipe, &pending) != FALSE || GetLastError() == ERROR_PIPE_CONNECTED;
			if (!connected && GetLastError() == ERROR_IO_PENDING) {
				HANDLE events[2]{connected_event.value, stop};
				DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
				DWORD ignored = 0;
				if (woken != WAIT_OBJECT_0) {
					CancelIoEx(pipe, &pending);
					GetOverlappedResult(pipe, &pending, &ignored, TRUE);
					CloseHandle(pipe);
					break;
				}
				connected = GetOverlappedResult(pipe, &pending, &ignored, FALSE) != FALSE;
			}
			ULONG client = 0;
			if (!connected || !GetNamedPipeClientProcessId(pipe, &client) || !same_user(client) || listening->served >= most_served) {
				DisconnectNamedPipe(pipe);
				CloseHandle(pipe);
				continue;
			}
			listening->served++;
			std::thread([listening, pipe] {
				serve(*listening, pipe);
				DisconnectNamedPipe(pipe);
				CloseHandle(pipe);
				listening->served--;
			}).detach();
		}
		LocalFree(descriptor);
	}

	// Held until the instance goes, with the process at the latest.
	HANDLE mutex_;
	HANDLE stop_;
	std::thread thread_;
};

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(Outcome& outcome, std::string_view request) {
	outcome = Outcome::First;
	auto deadline = Clock::now() + window_within;
	bool closing = false, silent = false, another = false;
	for (;;) {
		HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tarnwick.Launcher");
		if (mutex == nullptr) {
			launcher_log::write("cannot make the instance mutex: not checking for another launcher");
			return std::make_unique<Win32Instance>(nullptr);
		}
		if (GetLastError() != ERROR_ALREADY_EXISTS) {
			if (another) outcome = Outcome::AfterAnother;
			return std::make_unique<Win32Instance>(mutex);
		}
		another = true;
		// Another launcher holds it; holding it here too would keep it alive after that one ended.
		CloseHandle(mutex);
		std::optional<Answer> answer = ask(request);
		if (answer == Answer::Raised) {
			outcome = Outcome::Raised;
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
			launcher_log::write("another launcher runs but raises no window; starting anyway");
			return std::make_unique<Win32Instance>(nullptr);
		}
		std::this_thread::sleep_for(100ms);
	}
}

} // namespace tarnwick
