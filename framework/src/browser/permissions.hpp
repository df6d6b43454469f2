// What a page may use beyond the engine's defaults: each permission request of a page (and of its
// frames, where the engine lets a frame ask) is put to the program's policy, which allows or denies
// it. The engine keeps no decision of its own: the policy is asked again next time.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace bw {

class BrowserWindowHandle;

enum class PermissionKind {
	Notifications,
	Geolocation,
	Camera,
	Microphone,
	ClipboardRead,
	// The names of cameras and microphones (enumerateDevices).
	DeviceInfo,
	PointerLock,
	// Encrypted media (a key system).
	MediaKeys,
	// A frame's access to its own cookies and storage as a third party.
	StorageAccess,
	// Anything the engine has no kind for above (screen capture, sensors, MIDI, ...).
	Other,
};

// A short English name of the kind, for logs: "notifications", "clipboard-read", ...
std::string_view permission_kind_name(PermissionKind kind);

struct PermissionRequest {
	// The requesting origin, "scheme://host[:port]".
	std::string origin;
	PermissionKind kind = PermissionKind::Other;
	// Whether a user's action led to the request, as far as the engine tells (WebKitGTK never does).
	bool user_initiated = false;
};

enum class PermissionDecision { Allow, Deny };

// Asked on the GUI thread. A request the engine makes for several kinds at once (a camera and a
// microphone) is allowed only when every kind is.
using PermissionPolicy = std::function<PermissionDecision(BrowserWindowHandle, const PermissionRequest&)>;

} // namespace bw
