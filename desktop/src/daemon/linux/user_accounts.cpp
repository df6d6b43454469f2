#include "daemon/linux/user_accounts.hpp"

#include "daemon/system.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarnwick::daemon::system {

std::uint32_t first_user_id(std::string_view login_defs) {
	std::istringstream lines{std::string(login_defs)};
	std::string line;
	std::uint32_t first = 1000;
	while (std::getline(lines, line)) {
		std::istringstream fields(line);
		std::string key, value;
		if (!(fields >> key >> value) || key != "UID_MIN") continue;
		char* end = nullptr;
		unsigned long parsed = std::strtoul(value.c_str(), &end, 0);
		if (end != value.c_str() && *end == '\0' && parsed > 0 && parsed < 0xFFFFFFFFUL) first = static_cast<std::uint32_t>(parsed);
	}
	return first;
}

Owner owner_of_uid(std::uint32_t uid) {
	static const std::uint32_t first = [] {
		std::ifstream file("/etc/login.defs");
		return first_user_id(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
	}();
	if (uid == geteuid()) return Owner::User;
	return uid < first ? Owner::System : Owner::OtherUser;
}

std::string user_name(std::uint32_t uid) {
	passwd entry{};
	passwd* found = nullptr;
	char buffer[4096];
	if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
	return entry.pw_name;
}

} // namespace tarnwick::daemon::system
