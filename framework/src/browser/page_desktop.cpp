// The engine-neutral parts of permissions and page notifications.
#include "browser/notifications.hpp"
#include "browser/permissions.hpp"

namespace bw {

std::string_view permission_kind_name(PermissionKind kind) {
	switch (kind) {
	case PermissionKind::Notifications: return "notifications";
	case PermissionKind::Geolocation: return "geolocation";
	case PermissionKind::Camera: return "camera";
	case PermissionKind::Microphone: return "microphone";
	case PermissionKind::ClipboardRead: return "clipboard-read";
	case PermissionKind::DeviceInfo: return "device-info";
	case PermissionKind::PointerLock: return "pointer-lock";
	case PermissionKind::MediaKeys: return "media-keys";
	case PermissionKind::StorageAccess: return "storage-access";
	case PermissionKind::Other: break;
	}
	return "other";
}

void PageNotification::shown() {
	if (ended_ || shown_) return;
	shown_ = true;
	if (engine_.shown) engine_.shown();
}

void PageNotification::clicked() {
	if (ended_ || !shown_) return;
	if (engine_.clicked) engine_.clicked();
}

void PageNotification::closed() {
	if (ended_ || !shown_) return;
	ended_ = true;
	if (engine_.closed) engine_.closed();
	engine_ = {};
}

void PageNotification::_page_closed() {
	if (ended_) return;
	ended_ = true;
	engine_ = {};
	// The program's callback may drop the last reference to this notification.
	if (auto closed = std::move(on_page_closed_)) closed();
}

void PageNotification::_detach() {
	engine_ = {};
	ended_ = true;
}

} // namespace bw
