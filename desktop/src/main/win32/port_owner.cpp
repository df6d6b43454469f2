#include "port_owner.hpp"

#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include <vector>

namespace tarnwick {

namespace {

std::string utf8(std::wstring_view text) {
	if (text.empty()) return {};
	int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
	std::string out(static_cast<std::size_t>(size), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
	return out;
}

std::string program_name(DWORD pid) {
	HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
	if (process == nullptr) return {};
	wchar_t path[MAX_PATH * 2];
	DWORD length = MAX_PATH * 2;
	std::string name;
	if (QueryFullProcessImageNameW(process, 0, path, &length)) {
		std::wstring_view full(path, length);
		name = utf8(full.substr(full.find_last_of(L"\\/") + 1));
	}
	CloseHandle(process);
	return name;
}

// Offers each IPv4 listener to the visitor until it returns true; nothing when the table cannot
// be read.
template <class Visitor>
std::optional<bool> visit_listeners(Visitor visit) {
	std::vector<unsigned char> buffer(16 * 1024);
	for (int attempt = 0; attempt < 4; attempt++) {
		DWORD size = static_cast<DWORD>(buffer.size());
		DWORD result = GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
		if (result == ERROR_INSUFFICIENT_BUFFER) {
			buffer.resize(size);
			continue;
		}
		if (result != NO_ERROR) return std::nullopt;
		const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
		for (DWORD i = 0; i < table->dwNumEntries; i++)
			if (visit(table->table[i])) return true;
		return false;
	}
	return std::nullopt;
}

uint16_t local_port(const MIB_TCPROW_OWNER_PID& row) { return ntohs(static_cast<u_short>(row.dwLocalPort)); }

} // namespace

std::optional<PortListener> port_listener(uint16_t port) {
	std::optional<PortListener> listener;
	visit_listeners([&](const MIB_TCPROW_OWNER_PID& row) {
		if (local_port(row) != port) return false;
		listener = PortListener{row.dwOwningPid, program_name(row.dwOwningPid)};
		return true;
	});
	return listener;
}

std::optional<bool> loopback_port_listened(uint16_t port) {
	return visit_listeners([&](const MIB_TCPROW_OWNER_PID& row) {
		uint32_t address = ntohl(row.dwLocalAddr);
		return local_port(row) == port && (address == 0 || (address >> 24) == 127);
	});
}

} // namespace tarnwick
