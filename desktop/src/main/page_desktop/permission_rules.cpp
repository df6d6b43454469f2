#include "page_desktop/permission_rules.hpp"

#include "launcher_log.hpp"

namespace tarnwick {

bw::PermissionDecision PermissionRules::decide(const bw::PermissionRequest& request, std::string_view daemon_origin, bool notifications_shown,
                                               std::string_view why_not_shown) {
	bool daemon = !daemon_origin.empty() && request.origin == daemon_origin;
	if (daemon && request.kind == bw::PermissionKind::Notifications && notifications_shown) return bw::PermissionDecision::Allow;
	if (denied_.emplace(request.origin, request.kind).second) {
		std::string line = "denied " + std::string(bw::permission_kind_name(request.kind)) + " to " + request.origin;
		if (daemon && request.kind == bw::PermissionKind::Notifications) line += ": " + std::string(why_not_shown);
		launcher_log::write(line);
	}
	return bw::PermissionDecision::Deny;
}

} // namespace tarnwick
