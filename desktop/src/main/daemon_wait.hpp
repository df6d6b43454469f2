// While the daemon that was just started does not listen yet, the window shows a page of our own
// instead of the engine's error page, and the daemon's page replaces it once the daemon answers.
#pragma once

#include "application/application.hpp"
#include "browser/browser_window.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

struct DaemonAddress {
	std::string host;
	uint16_t port;
	std::string url() const { return "http://" + host + ":" + std::to_string(port); }
};

struct WaitTimes {
	std::chrono::milliseconds retry_every{500};
	std::chrono::seconds give_up_after{30};
};

// Shows the starting page, then keeps trying the address until it answers (the window then
// navigates to it) or the time is up (the window then shows a page with a Try-again button, whose
// press starts the wait anew). Ends early when the window is gone.
bw::Task<> show_daemon_when_it_answers(bw::ApplicationHandle app, std::weak_ptr<bw::BrowserWindowOwner> window, DaemonAddress address,
                                       WaitTimes times);

// Lets the Try-again button of the window's pages start the wait anew.
void handle_retry_requests(const bw::BrowserWindow& window, DaemonAddress address, WaitTimes times);

} // namespace tarnwick
