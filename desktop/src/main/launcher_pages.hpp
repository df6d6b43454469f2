// The launcher's own pages, shown while the daemon's interface cannot be.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// A data: URL of an HTML document, for navigating to a page of our own.
std::string html_data_url(std::string_view html);

// While a daemon just started does not answer yet.
std::string starting_page();
// The daemon ended or stopped answering (why, when known); it is being started again.
std::string restarting_page(std::string_view reason = {});
// A daemon that runs as a system service ended or stopped answering: the launcher cannot start it
// and waits for it.
std::string service_lost_page(std::string_view reason);
// No start brought the daemon back: why, where the log is, and buttons that post "retry" and "quit".
std::string given_up_page(std::string_view reason, std::string_view log_path);
// The page's process ended too often to bring it back by itself: why, and a button that posts
// "reload".
std::string page_ended_page(std::string_view reason);
// Something else answers on the daemon's port; program is empty when the system does not tell, and
// other_user names the user whose program it is ("another user (uid 1234)") when not the user's.
std::string port_taken_page(uint16_t port, std::string_view program, std::string_view log_path, std::string_view other_user = {});

} // namespace tarnwick
