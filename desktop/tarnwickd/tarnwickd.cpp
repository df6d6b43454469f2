// tarnwickd, the stand-in daemon: serves the Tarnwick interface over HTTP on the loopback
// interface only.
//
//   tarnwickd [--port N] [--delay-listen SECONDS] [--exit-status N] [--log FILE] [--log-times]
//
// --delay-listen starts listening only after that many seconds (a daemon that is still starting;
// fractions allowed); --exit-status ends at once with that status (a daemon that cannot start).
// A daemon started by someone else without arguments takes both from the environment variables
// TARNWICKD_DELAY_LISTEN and TARNWICKD_EXIT_STATUS when set. Ending with a status it first says why
// on its standard error, as a daemon that cannot start does.
//
// As daemons really run, told by the environment: TARNWICKD_FORK=1 goes into the background first
// (forks, the parent exits with 0 and the child carries on in a session of its own; on Windows it
// starts a copy of itself and exits); TARNWICKD_WRAP=PROGRAM is a wrapper that runs PROGRAM (the
// real daemon, under its own name) as its child, waits for it and ends with its status;
// TARNWICKD_LISTEN=dual listens on [::] for IPv6 and IPv4 alike; TARNWICKD_CHATTER=N writes about N
// bytes a second of lines to its standard error for as long as it runs (a chatty daemon). GET /die ends it at once with status 70
// (a daemon that crashes while in use).
// --log appends one line per request to FILE; without it, the file named by the environment variable
// TARNWICKD_LOG, if set (so a daemon that the launcher started can be watched). --log-times (or
// TARNWICKD_LOG_TIMES=1) starts each line with the time the request arrived, in seconds of the
// system's monotonic clock (CLOCK_MONOTONIC on Linux), which other processes can compare with their
// own readings.
//
// The page reports its own load: its load event fetches /loaded, which answers 204. So the log shows
// when a browser finished loading the page, for measuring a browser's start from outside.
//
// For tests: TARNWICKD_PAGE names an HTML file served at / instead of the built-in page; /report
// answers 204 (a page reports what it sees through the requests log); /download answers a small
// CSV file as an attachment named report.csv; /accept-language answers the request's Accept-Language
// header; after /hang it deadlocks as far as its clients can
// tell: each later request is logged and never answered, while its socket stays open.
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;

constexpr std::string_view page = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Tarnwick</title>
<style>
	body { font-family: sans-serif; margin: 3em; color: #223; }
	button { font-size: 1em; padding: 0.4em 1em; }
	#status { color: #555; }
</style>
</head>
<body>
<h1>Tarnwick</h1>
<p>This is the Tarnwick interface, served by tarnwickd.</p>
<p><button id="ping">Ping the desktop program</button></p>
<p id="status"></p>
<script>
	var status = document.getElementById("status");
	function hasBridge() { return typeof invoke_extern === "function"; }
	if (!hasBridge()) status.textContent = "No desktop bridge on this page: invoke_extern is not defined.";
	window.addEventListener("load", function () { fetch("/loaded", { cache: "no-store" }).catch(function () {}); });
	document.getElementById("ping").addEventListener("click", function () {
		if (hasBridge()) {
			invoke_extern("ping", Date.now());
			status.textContent = "Sent ping to the desktop program.";
		} else {
			status.textContent = "No desktop bridge on this page: invoke_extern is not defined.";
		}
	});
</script>
</body>
</html>
)html";

struct Options {
	unsigned short port = 37338;
	double delay_seconds = 0;
	std::optional<int> exit_status;
	std::string log_path;
	bool log_times = false;
};

[[noreturn]] void usage(std::string_view problem) {
	std::cerr << "tarnwickd: " << problem << "\nusage: tarnwickd [--port N] [--delay-listen SECONDS] [--exit-status N] [--log FILE] [--log-times]\n";
	std::exit(2);
}

double parse_delay(const std::string& value) {
	char* end = nullptr;
	double seconds = std::strtod(value.c_str(), &end);
	if (end == value.c_str() || *end != '\0' || !(seconds >= 0)) usage("invalid delay " + value);
	return seconds;
}

int parse_status(const std::string& value) {
	char* end = nullptr;
	long status = std::strtol(value.c_str(), &end, 10);
	if (end == value.c_str() || *end != '\0' || status < 0 || status > 255) usage("invalid exit status " + value);
	return static_cast<int>(status);
}

Options parse(int argc, char** argv) {
	Options options;
	if (const char* delay = std::getenv("TARNWICKD_DELAY_LISTEN")) options.delay_seconds = parse_delay(delay);
	if (const char* status = std::getenv("TARNWICKD_EXIT_STATUS")) options.exit_status = parse_status(status);
	if (const char* times = std::getenv("TARNWICKD_LOG_TIMES")) options.log_times = std::string_view(times) == "1";
	for (int i = 1; i < argc; i++) {
		std::string_view option = argv[i];
		if (option == "--log-times") {
			options.log_times = true;
			continue;
		}
		if (i + 1 >= argc) usage("missing value for " + std::string(option));
		std::string value = argv[++i];
		char* end = nullptr;
		if (option == "--port") {
			long port = std::strtol(value.c_str(), &end, 10);
			if (*end != '\0' || port < 1 || port > 65535) usage("invalid port " + value);
			options.port = static_cast<unsigned short>(port);
		} else if (option == "--delay-listen") {
			options.delay_seconds = parse_delay(value);
		} else if (option == "--exit-status") {
			options.exit_status = parse_status(value);
		} else if (option == "--log") {
			options.log_path = value;
		} else {
			usage("unknown option " + std::string(option));
		}
	}
	return options;
}

class RequestLog {
public:
	RequestLog(const std::string& path, bool with_times) : with_times_(with_times) {
		if (path.empty()) return;
		file_.open(path, std::ios::app);
		if (!file_.is_open()) usage("cannot open log file " + path);
	}
	void write(std::string_view method, std::string_view target) {
		if (!file_.is_open()) return;
		auto now = std::chrono::steady_clock::now().time_since_epoch();
		std::lock_guard lock(mutex_);
		if (with_times_) {
			auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
			char time[32];
			std::snprintf(time, sizeof time, "%lld.%09lld ", static_cast<long long>(nanoseconds / 1'000'000'000),
			              static_cast<long long>(nanoseconds % 1'000'000'000));
			file_ << time;
		}
		file_ << method << ' ' << target << std::endl;
	}

private:
	bool with_times_;
	std::mutex mutex_;
	std::ofstream file_;
};

// The page served at /: the test's when TARNWICKD_PAGE names one, read at each request.
std::string home_page() {
	const char* file = std::getenv("TARNWICKD_PAGE");
	if (file == nullptr) return std::string(page);
	std::ifstream stream(file, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Set by /hang: no request is answered any more.
std::atomic<bool> hung{false};

http::response<http::string_body> answer(const http::request<http::string_body>& request) {
	http::response<http::string_body> response(http::status::ok, request.version());
	response.set(http::field::server, "tarnwickd");
	response.set(http::field::cache_control, "no-store");
	response.keep_alive(request.keep_alive());
	auto target = std::string_view(request.target().data(), request.target().size());
	target = target.substr(0, target.find('?'));
	if (request.method() != http::verb::get && request.method() != http::verb::head) {
		response.result(http::status::method_not_allowed);
		response.set(http::field::content_type, "text/plain; charset=utf-8");
		response.body() = "method not allowed\n";
	} else if (target == "/") {
		response.set(http::field::content_type, "text/html; charset=utf-8");
		response.body() = home_page();
	} else if (target == "/die") {
		std::_Exit(70);
	} else if (target == "/download") {
		response.set(http::field::content_type, "text/csv");
		response.set(http::field::content_disposition, "attachment; filename=\"report.csv\"");
		response.body() = "name,count\nrooms,3\n";
	} else if (target == "/hang") {
		hung = true;
		response.result(http::status::no_content);
	} else if (target == "/loaded" || target == "/report") {
		response.result(http::status::no_content);
	} else if (target == "/set-cookie") {
		response.set(http::field::content_type, "text/plain; charset=utf-8");
		response.set(http::field::set_cookie, "tarnwick_test=1; Path=/");
		response.body() = "cookie set\n";
	} else if (target == "/accept-language") {
		// The languages the client asked for, as it sent them.
		response.set(http::field::content_type, "text/plain; charset=utf-8");
		auto languages = request[http::field::accept_language];
		response.body() = std::string(languages.data(), languages.size());
	} else if (target == "/cookies") {
		// The cookies the client sent, as it sent them.
		response.set(http::field::content_type, "text/plain; charset=utf-8");
		auto cookies = request[http::field::cookie];
		response.body() = std::string(cookies.data(), cookies.size()) + "\n";
	} else {
		response.result(http::status::not_found);
		response.set(http::field::content_type, "text/plain; charset=utf-8");
		response.body() = "not found\n";
	}
	response.prepare_payload();
	// A 204 carries no length at all.
	if (response.result() == http::status::no_content) response.content_length(boost::none);
	if (request.method() == http::verb::head) response.body().clear();
	return response;
}

// One thread per connection: a browser keeps idle connections open, which must not stall others.
void serve(tcp::socket socket, RequestLog& log) {
	boost::beast::flat_buffer buffer;
	boost::system::error_code error;
	for (;;) {
		http::request<http::string_body> request;
		http::read(socket, buffer, request, error);
		if (error) break;
		auto method = request.method_string();
		auto target = request.target();
		log.write(std::string_view(method.data(), method.size()), std::string_view(target.data(), target.size()));
		while (hung) std::this_thread::sleep_for(std::chrono::seconds(1));
		auto response = answer(request);
		http::write(socket, response, error);
		if (error || !response.keep_alive()) break;
	}
	socket.shutdown(tcp::socket::shutdown_send, error);
}

// Twenty lines a second, together about bytes_per_second.
void chatter(long bytes_per_second) {
	std::thread([bytes_per_second] {
		std::string line = std::string(static_cast<std::size_t>(std::max(1L, bytes_per_second / 20 - 1)), '.') + "\n";
		for (;;) {
			std::fwrite(line.data(), 1, line.size(), stderr);
			std::fflush(stderr);
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
		}
	}).detach();
}

} // namespace

// Goes into the background as most daemons do: the process that was started ends with 0 at once.
void fork_into_background(char** argv) {
#ifdef _WIN32
	(void)argv;
	_putenv("TARNWICKD_FORK=");
	wchar_t path[MAX_PATH];
	GetModuleFileNameW(nullptr, path, MAX_PATH);
	std::wstring command = L"tarnwickd";
	STARTUPINFOW startup{};
	startup.cb = sizeof startup;
	PROCESS_INFORMATION info{};
	if (!CreateProcessW(path, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) std::exit(71);
	CloseHandle(info.hThread);
	CloseHandle(info.hProcess);
	std::exit(0);
#else
	(void)argv;
	unsetenv("TARNWICKD_FORK");
	pid_t child = fork();
	if (child < 0) std::exit(71);
	if (child > 0) std::_Exit(0);
	setsid();
#endif
}

// A wrapper: the program runs as a child of this process, which lives as long as it does.
[[noreturn]] void wrap(std::string program) {
#ifdef _WIN32
	_putenv("TARNWICKD_WRAP=");
	std::wstring path(program.begin(), program.end());
	std::wstring command = L"\"" + path + L"\"";
	STARTUPINFOW startup{};
	startup.cb = sizeof startup;
	PROCESS_INFORMATION info{};
	if (!CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) std::exit(71);
	CloseHandle(info.hThread);
	WaitForSingleObject(info.hProcess, INFINITE);
	DWORD code = 71;
	GetExitCodeProcess(info.hProcess, &code);
	std::exit(static_cast<int>(code));
#else
	unsetenv("TARNWICKD_WRAP");
	pid_t child = fork();
	if (child < 0) std::exit(71);
	if (child == 0) {
		execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
		std::_Exit(71);
	}
	int status = 0;
	while (waitpid(child, &status, 0) < 0) {
	}
	std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
#endif
}

int main(int argc, char** argv) {
	if (const char* wrapped = std::getenv("TARNWICKD_WRAP"); wrapped != nullptr && *wrapped != '\0') wrap(wrapped);
	if (const char* fork = std::getenv("TARNWICKD_FORK"); fork != nullptr && std::string_view(fork) == "1") fork_into_background(argv);
	Options options = parse(argc, argv);
	if (options.log_path.empty()) {
		if (const char* from_environment = std::getenv("TARNWICKD_LOG")) options.log_path = from_environment;
	}
	if (options.exit_status) {
		std::cerr << "tarnwickd: cannot start: told to exit with status " << *options.exit_status << "\n";
		return *options.exit_status;
	}
	RequestLog log(options.log_path, options.log_times);
	if (options.delay_seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(options.delay_seconds));

	asio::io_context io;
	tcp::acceptor acceptor(io);
	const char* listen_on = std::getenv("TARNWICKD_LISTEN");
	bool dual = listen_on != nullptr && std::string_view(listen_on) == "dual";
	tcp::endpoint endpoint(dual ? asio::ip::address(asio::ip::address_v6::any()) : asio::ip::address(asio::ip::address_v4::loopback()), options.port);
	boost::system::error_code error;
	acceptor.open(endpoint.protocol(), error);
	if (!error && dual) acceptor.set_option(asio::ip::v6_only(false), error);
	if (!error && TARNWICKD_REUSE_ADDRESS) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
	if (!error) acceptor.bind(endpoint, error);
	if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
	if (error == asio::error::address_in_use) {
		std::cerr << "tarnwickd: port " << options.port << " is already in use\n";
		return 1;
	}
	if (error) {
		std::cerr << "tarnwickd: cannot listen on 127.0.0.1:" << options.port << ": " << error.message() << "\n";
		return 1;
	}
	std::cerr << "tarnwickd: serving http://127.0.0.1:" << options.port << "\n";
	if (const char* bytes = std::getenv("TARNWICKD_CHATTER")) chatter(std::atol(bytes));

	for (;;) {
		tcp::socket socket(io);
		acceptor.accept(socket, error);
		if (error) {
			// Out of descriptors, say: give connections time to close instead of spinning.
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
			continue;
		}
		std::thread(serve, std::move(socket), std::ref(log)).detach();
	}
}
