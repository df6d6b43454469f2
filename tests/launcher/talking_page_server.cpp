// Stands in for the daemon in the launcher's tests, copied there under the daemon's name: serves
// one page of the test's on the daemon's port, 204 to every other target, and appends each target
// asked for to a log (created once it listens).
//
//   talking_page_server PAGE_FILE LOG_FILE
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
	if (argc != 3) return 2;
	std::ifstream page_file(argv[1]);
	const std::string page((std::istreambuf_iterator<char>(page_file)), std::istreambuf_iterator<char>());
	int listener = socket(AF_INET, SOCK_STREAM, 0);
	int on = 1;
	setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
	sockaddr_in address{};
	address.sin_family = AF_INET;
	address.sin_port = htons(37338);
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 16) != 0) return 1;
	std::ofstream log(argv[2]);
	for (;;) {
		int connection = accept(listener, nullptr, nullptr);
		if (connection < 0) continue;
		std::string request;
		char buffer[4096];
		while (request.find("\r\n\r\n") == std::string::npos) {
			ssize_t got = recv(connection, buffer, sizeof buffer, 0);
			if (got <= 0) break;
			request.append(buffer, static_cast<std::size_t>(got));
		}
		std::size_t start = request.find(' ') + 1, end = request.find(' ', start);
		std::string target = start > 0 && end != std::string::npos ? request.substr(start, end - start) : "";
		log << target << std::endl;
		std::string reply = target == "/" ? "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\nContent-Length: " +
		                                        std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page
		                                  : "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
		(void)!send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
		close(connection);
	}
}
