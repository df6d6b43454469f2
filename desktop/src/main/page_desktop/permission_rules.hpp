// Who may use what: the daemon's pages may show notifications (while the desktop can show them);
// every other request of every page is denied, and each denied (origin, kind) is said once in the
// log. The launcher's own pages have no origin of their own (data:) and so get nothing.
#pragma once

#include "browser/permissions.hpp"

#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

class PermissionRules {
public:
	// daemon_origin is "http://host:port"; notifications_shown whether the desktop shows
	// notifications, and if not, why (for the log).
	bw::PermissionDecision decide(const bw::PermissionRequest& request, std::string_view daemon_origin, bool notifications_shown,
	                              std::string_view why_not_shown = {});

private:
	std::set<std::pair<std::string, bw::PermissionKind>> denied_;
};

} // namespace tarnwick
