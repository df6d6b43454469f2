// Whose a user id is, seen from the user who runs the launcher.
#pragma once

#include "daemon/process_facts.hpp"

#include <cstdint>
#include <string>

namespace tarnwick::daemon::system {

// The launcher's own user, a system account (below the system's first user id, UID_MIN in
// /etc/login.defs, 1000 when it says nothing), or another regular user.
Owner owner_of_uid(std::uint32_t uid);

// The account's name, or empty when the system has none.
std::string user_name(std::uint32_t uid);

// The first id of regular users read from a login.defs text; 1000 when it sets none.
std::uint32_t first_user_id(std::string_view login_defs);

} // namespace tarnwick::daemon::system
