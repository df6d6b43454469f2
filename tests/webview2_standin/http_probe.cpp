// Navigation against a real server: a URL's host and port are reachable when a TCP connection can be
// made within a short time.
#include "objects.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace standin {
namespace {

constexpr int connect_timeout_ms = 2000;

struct Endpoint {
	std::wstring host;
	std::wstring port;
};

// scheme://[userinfo@]host[:port][/...]; IPv6 hosts in brackets.
std::optional<Endpoint> endpoint_of(std::wstring_view url) {
	std::wstring_view default_port;
	if (url.substr(0, 7) == L"http://") {
		default_port = L"80";
		url.remove_prefix(7);
	} else if (url.substr(0, 8) == L"https://") {
		default_port = L"443";
		url.remove_prefix(8);
	} else {
		return std::nullopt;
	}
	std::wstring_view authority = url.substr(0, url.find_first_of(L"/?#"));
	if (size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) authority.remove_prefix(at + 1);
	Endpoint endpoint;
	std::wstring_view rest;
	if (!authority.empty() && authority[0] == L'[') {
		size_t close = authority.find(L']');
		if (close == std::wstring_view::npos) return Endpoint{};
		endpoint.host = authority.substr(1, close - 1);
		rest = authority.substr(close + 1);
	} else {
		size_t colon = authority.find(L':');
		endpoint.host = authority.substr(0, colon);
		rest = colon == std::wstring_view::npos ? std::wstring_view() : authority.substr(colon);
	}
	endpoint.port = rest.size() > 1 && rest[0] == L':' ? std::wstring(rest.substr(1)) : std::wstring(default_port);
	return endpoint;
}

bool connects(const sockaddr* address, int length) {
	SOCKET s = socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
	if (s == INVALID_SOCKET) return false;
	u_long non_blocking = 1;
	ioctlsocket(s, FIONBIO, &non_blocking);
	bool connected = false;
	if (connect(s, address, length) == 0) {
		connected = true;
	} else if (WSAGetLastError() == WSAEWOULDBLOCK) {
		fd_set writable;
		fd_set failed;
		FD_ZERO(&writable);
		FD_ZERO(&failed);
		FD_SET(s, &writable);
		FD_SET(s, &failed);
		timeval timeout{connect_timeout_ms / 1000, (connect_timeout_ms % 1000) * 1000};
		if (select(0, nullptr, &writable, &failed, &timeout) > 0 && FD_ISSET(s, &writable)) {
			int error = 0;
			int size = sizeof error;
			getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
			connected = error == 0;
		}
	}
	closesocket(s);
	return connected;
}

} // namespace

bool probe_connection(std::wstring_view url, COREWEBVIEW2_WEB_ERROR_STATUS* status) {
	*status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
	auto endpoint = endpoint_of(url);
	if (!endpoint) return true;
	static std::once_flag started;
	std::call_once(started, [] {
		WSADATA data;
		WSAStartup(MAKEWORD(2, 2), &data);
	});

	ADDRINFOW hints{};
	hints.ai_socktype = SOCK_STREAM;
	hints.ai_protocol = IPPROTO_TCP;
	ADDRINFOW* addresses = nullptr;
	if (endpoint->host.empty() || GetAddrInfoW(endpoint->host.c_str(), endpoint->port.c_str(), &hints, &addresses) != 0) {
		*status = COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED;
		return false;
	}
	bool reached = false;
	for (ADDRINFOW* address = addresses; address != nullptr && !reached; address = address->ai_next) {
		reached = connects(address->ai_addr, static_cast<int>(address->ai_addrlen));
	}
	FreeAddrInfoW(addresses);
	if (!reached) *status = COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT;
	return reached;
}

} // namespace standin
