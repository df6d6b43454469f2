// A D-Bus session bus of the test's own: `dbus-daemon --session` on a socket in the test's runtime
// folder, with DBUS_SESSION_BUS_ADDRESS pointing at it for as long as the object lives (programs
// the test starts after that inherit it). Nothing is started on demand unless the test names the
// folders of service files it wants (say /usr/share/dbus-1/services for the real
// gnome-keyring-daemon); the daemon ends with the object, and in any case with the test sandbox.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::testing {

class SessionBus {
public:
	explicit SessionBus(std::vector<std::filesystem::path> service_folders = {});
	~SessionBus();
	SessionBus(const SessionBus&) = delete;
	SessionBus& operator=(const SessionBus&) = delete;

	// Empty when the bus could not be started; error() then says why.
	const std::string& address() const { return address_; }
	const std::string& error() const { return error_; }

private:
	pid_t daemon_ = -1;
	std::string address_;
	std::string error_;
	std::string previous_address_;
	bool had_previous_ = false;
};

} // namespace tarnwick::testing
