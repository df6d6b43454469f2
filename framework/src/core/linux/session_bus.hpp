// The session bus's address, where the session says where it is. GLib's own lookup falls back to
// starting a bus through X11 (dbus-launch): it forks the program for each caller, and where no
// bus runs it fails every time, tens of milliseconds each on the GUI thread.
#pragma once

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace bw {

inline std::optional<std::string> session_bus_address() {
	if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0') return std::string(address);
	// Where systemd's user session keeps it.
	const char* runtime = std::getenv("XDG_RUNTIME_DIR");
	if (runtime == nullptr || *runtime == '\0') return std::nullopt;
	std::string path = std::string(runtime) + "/bus";
	struct stat info {};
	if (stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return std::nullopt;
	gchar* escaped = g_dbus_address_escape_value(path.c_str());
	std::string address = std::string("unix:path=") + escaped;
	g_free(escaped);
	return address;
}

} // namespace bw
