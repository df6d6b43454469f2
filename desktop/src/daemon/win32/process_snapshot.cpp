#include "daemon/daemon_identity.hpp"
#include "daemon/system.hpp"

#include <windows.h>

#include <tlhelp32.h>

#include <vector>

namespace tarnwick::daemon::system {

namespace {

// Lossy: an unpaired surrogate becomes U+FFFD, which cannot affect the name test.
std::string to_utf8(const wchar_t* text) {
	int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
	if (size <= 1) return {};
	std::string out(static_cast<std::size_t>(size), '\0');
	WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
	out.pop_back();
	return out;
}

// The user of a process's token, copied; empty when the token cannot be read.
std::vector<unsigned char> token_user(HANDLE process) {
	HANDLE token = nullptr;
	if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
	DWORD size = 0;
	GetTokenInformation(token, TokenUser, nullptr, 0, &size);
	std::vector<unsigned char> buffer(size);
	bool read = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
	CloseHandle(token);
	if (!read) return {};
	PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
	std::vector<unsigned char> copy(GetLengthSid(sid));
	CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid);
	return copy;
}

bool is_service_account(PSID sid) {
	return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinLocalServiceSid) || IsWellKnownSid(sid, WinNetworkServiceSid);
}

// The same user, a service account or a process of session 0 (services), another user otherwise.
Owner owner_of(DWORD pid) {
	static const std::vector<unsigned char> own = token_user(GetCurrentProcess());
	DWORD session = 0;
	bool in_session_zero = ProcessIdToSessionId(pid, &session) && session == 0;
	HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
	if (process == nullptr) return in_session_zero ? Owner::System : Owner::Unknown;
	std::vector<unsigned char> user = token_user(process);
	CloseHandle(process);
	if (user.empty()) return in_session_zero ? Owner::System : Owner::Unknown;
	if (!own.empty() && EqualSid(const_cast<unsigned char*>(own.data()), user.data())) return Owner::User;
	if (is_service_account(user.data()) || in_session_zero) return Owner::System;
	return Owner::OtherUser;
}

ProcessFacts facts_of(const PROCESSENTRY32W& entry, bool owner_always) {
	ProcessFacts facts;
	facts.pid = entry.th32ProcessID;
	facts.parent = entry.th32ParentProcessID;
	facts.names.push_back(to_utf8(entry.szExeFile));
	if (owner_always || named_like_daemon(facts)) facts.owner = owner_of(entry.th32ProcessID);
	return facts;
}

template <class Visit> bool visit_entries(Visit visit) {
	HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
	if (snapshot == INVALID_HANDLE_VALUE) return false;
	PROCESSENTRY32W entry{};
	entry.dwSize = sizeof entry;
	bool found = false;
	for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) found = visit(entry);
	CloseHandle(snapshot);
	return found;
}

} // namespace

bool visit_processes(const std::function<bool(const ProcessFacts& facts)>& visit) {
	return visit_entries([&](const PROCESSENTRY32W& entry) { return visit(facts_of(entry, false)); });
}

std::optional<ProcessFacts> process_facts(std::uint64_t pid) {
	std::optional<ProcessFacts> found;
	visit_entries([&](const PROCESSENTRY32W& entry) {
		if (entry.th32ProcessID != pid) return false;
		found = facts_of(entry, true);
		return true;
	});
	return found;
}

} // namespace tarnwick::daemon::system
