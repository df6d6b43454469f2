#include "page_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bw::testing {

namespace {

unsigned short free_port() {
	int fd = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
	socklen_t length = sizeof address;
	getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
	close(fd);
	return ntohs(address.sin_port);
}

bool accepts(unsigned short port) {
	int fd = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(port);
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
	close(fd);
	return connected;
}

} // namespace

PageServer::PageServer() {
	char pattern[] = "/tmp/bw-page-server-XXXXXX";
	directory_ = mkdtemp(pattern);
	std::filesystem::path program = directory_ / "page_server";
	std::filesystem::copy_file(BW_PAGE_SERVER_PROGRAM, program);
	port_ = free_port();
	std::string port = std::to_string(port_);
	std::string log = (directory_ / "requests.log").string();
	std::string program_text = program.string();
	char* argv[] = {program_text.data(), const_cast<char*>("--port"), port.data(), const_cast<char*>("--log"), log.data(), nullptr};
	if (posix_spawn(&pid_, program_text.c_str(), nullptr, nullptr, argv, environ) != 0) throw std::runtime_error("cannot start the page server");
	for (int i = 0; i < 250 && !accepts(port_); i++) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

PageServer::~PageServer() {
	if (pid_ > 0) {
		kill(pid_, SIGTERM);
		waitpid(pid_, nullptr, 0);
	}
	std::error_code ignored;
	std::filesystem::remove_all(directory_, ignored);
}

std::string PageServer::requests() const {
	std::ifstream file(directory_ / "requests.log");
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace bw::testing
