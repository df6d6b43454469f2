#include "port_owner.hpp"

#include "daemon/system.hpp"

#include <winsock2.h>
#include <windows.h>

#include <iphlpapi.h>

#include <algorithm>
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

// A listener of either table, as far as the watch needs it.
struct Row {
	DWORD pid;
	uint16_t port;
	bool loopback;
};

Row row_of(const MIB_TCPROW_OWNER_PID& row) {
	uint32_t address = ntohl(row.dwLocalAddr);
	return Row{row.dwOwningPid, ntohs(static_cast<u_short>(row.dwLocalPort)), address == 0 || (address >> 24) == 127};
}

// ::, ::1 and the IPv4-mapped loopback; a dual-stack listener on :: takes IPv4 connections too.
Row row_of(const MIB_TCP6ROW_OWNER_PID& row) {
	const UCHAR* a = row.ucLocalAddr;
	bool zero_prefix = std::all_of(a, a + 10, [](UCHAR byte) { return byte == 0; });
	bool any_or_one = zero_prefix && a[10] == 0 && a[11] == 0 && a[12] == 0 && a[13] == 0 && a[14] == 0 && (a[15] == 0 || a[15] == 1);
	bool mapped_loopback = zero_prefix && a[10] == 0xFF && a[11] == 0xFF && a[12] == 127;
	return Row{row.dwOwningPid, ntohs(static_cast<u_short>(row.dwLocalPort)), any_or_one || mapped_loopback};
}

// Offers each listener of the family's table to the visitor until it returns true; nothing when
// the table cannot be read.
template <class Table, class Visitor>
std::optional<bool> visit_table(ULONG family, Visitor& visit) {
	std::vector<unsigned char> buffer(16 * 1024);
	for (int attempt = 0; attempt < 4; attempt++) {
		DWORD size = static_cast<DWORD>(buffer.size());
		DWORD result = GetExtendedTcpTable(buffer.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
		if (result == ERROR_INSUFFICIENT_BUFFER) {
			buffer.resize(size);
			continue;
		}
		if (result != NO_ERROR) return std::nullopt;
		const auto* table = reinterpret_cast<const Table*>(buffer.data());
		for (DWORD i = 0; i < table->dwNumEntries; i++)
			if (visit(row_of(table->table[i]))) return true;
		return false;
	}
	return std::nullopt;
}

// Both tables, IPv4 first; nothing only when neither can be read.
template <class Visitor> std::optional<bool> visit_listeners(Visitor visit) {
	std::optional<bool> v4 = visit_table<MIB_TCPTABLE_OWNER_PID>(AF_INET, visit);
	if (v4 == true) return true;
	std::optional<bool> v6 = visit_table<MIB_TCP6TABLE_OWNER_PID>(AF_INET6, visit);
	if (!v4 && !v6) return std::nullopt;
	return v6.value_or(false);
}

} // namespace

std::optional<PortListener> port_listener(uint16_t port, std::span<const std::uint64_t>) {
	std::optional<PortListener> listener;
	visit_listeners([&](const Row& row) {
		if (row.port != port) return false;
		// Wine tells no owning process (0): then nothing is known of the owner either.
		listener.emplace();
		listener->pid = row.pid;
		if (row.pid != 0) listener->name = program_name(row.pid);
		if (row.pid == 0) return true;
		if (auto facts = daemon::system::process_facts(row.pid)) listener->owner = facts->owner;
		return true;
	});
	return listener;
}

std::optional<bool> loopback_port_listened(uint16_t port) {
	return visit_listeners([&](const Row& row) { return row.port == port && row.loopback; });
}

} // namespace tarnwick
