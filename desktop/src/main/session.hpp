// The launcher's window and the daemon behind it: one object that knows which state the launcher is
// in and moves between them.
//
//   Starting ──first navigation failed──> Waiting ──answers──> Showing
//   Starting ──first navigation loaded──────────────────────> Showing ──ended / silent──> Restarting
//   Restarting ──answers──> Showing (the page the user was on)
//   Restarting ──five failed starts──> GivenUp ──"Try again"──> Restarting
//   any ──another program answers on the port──> PortTaken ──"Try again"──> Restarting
//
// Beside the states: which pages the window may show and who may post what (page_policy.hpp), the
// page's downloads, and a page whose process ended.
#pragma once

#include "address_probe.hpp"
#include "daemon/daemon.hpp"
#include "downloads.hpp"
#include "port_owner.hpp"
#include "rate_limit.hpp"
#include "silence_watch.hpp"

#include "application/application.hpp"
#include "browser/browser_window.hpp"
#include "browser/builder/browser_window_builder.hpp"

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace tarnwick {

struct SessionTimes {
	// How long a probe may wait for the connection.
	std::chrono::milliseconds probe_timeout{500};
	// How often a shown daemon is checked where the system does not announce closed listeners:
	// never more often than once a second.
	std::chrono::milliseconds watch_every{1000};
	// How often a daemon being started is tried.
	std::chrono::milliseconds wait_every{250};
	// How long the window stays hidden for a daemon started just now to answer, and how often it is
	// tried meanwhile.
	std::chrono::milliseconds fresh_daemon_within{2000};
	std::chrono::milliseconds fresh_daemon_every{50};
	// How long the first start may take to answer, and each restart.
	std::chrono::seconds first_answer_within{30};
	std::chrono::seconds restart_answer_within{10};
	// The delays before each restart attempt; after the last one fails the launcher gives up.
	std::array<std::chrono::seconds, 5> restart_after{std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(4),
	                                                  std::chrono::seconds(8), std::chrono::seconds(16)};
};

// What the supervisor found out before the window was shown.
struct StartCheck {
	daemon::Status status;
	// Who listens on the daemon's port, when something does.
	std::optional<PortListener> listener;
};

class Session : public std::enable_shared_from_this<Session> {
public:
	enum class State { Starting, Waiting, Showing, Restarting, GivenUp, PortTaken };

	Session(bw::ApplicationHandle app, DaemonAddress address, SessionTimes times);

	// What the window's pages may do: where navigations go, downloads, a page's process that ends.
	// Before the window is built.
	void equip(bw::BrowserWindowBuilder& builder);
	// Makes sure the daemon runs, off the GUI thread; a daemon it starts reports its end here.
	Background<StartCheck> check_daemon();
	// Decides what the freshly built window shows, shows it and then watches the daemon for as long
	// as the window exists.
	bw::Task<> run(bw::BrowserWindow window, StartCheck start);
	// Brings the window to the front (another launch asked for it). GUI thread.
	void raise() const;
	// Asks the window to close as its close button does; false when there is no window yet.
	bool close() const;
	State state() const { return state_; }

private:
	enum class Answer { Daemon, Other, None, Ended, TimedOut };

	daemon::StartOptions start_options();
	void daemon_ended(uint64_t generation, const std::string& how);
	bw::Task<Answer> wait_for_answer(std::chrono::steady_clock::duration within, std::chrono::milliseconds every);
	bw::Task<> watch();
	bw::Task<> restart();
	bw::Task<> wait_for_retry();
	void show_daemon_page();
	void show(State state, const std::string& html, const std::string& what);
	// A page of the launcher's own that does not change the state.
	void show_own(const std::string& html, const std::string& what);
	bw::NavigationDecision decide(const bw::NavigationRequest& request);
	void heard(const bw::BrowserWindowHandle& window, const bw::MessageEventArgs& args);
	void ignore(const bw::MessageEventArgs& args);
	void process_failed(const bw::BrowserWindowHandle& window, const bw::ProcessFailure& failure);
	void reload_after_page_ended();
	void show_port_taken();
	void give_up();
	void request_retry();
	bool window_gone() const { return window_.expired(); }

	struct Wakeup;

	bw::ApplicationHandle app_;
	DaemonAddress address_;
	SessionTimes times_;
	std::weak_ptr<bw::BrowserWindowOwner> window_;
	State state_ = State::Starting;
	// The daemon's page the user was on, brought back after a restart.
	std::string last_daemon_page_;
	std::string daemon_origin_;
	// The data: URL of the launcher's page shown now (empty while the daemon's is), and of the page
	// of the state, which the first may cover.
	std::string own_page_;
	std::string state_page_;
	std::string page_ended_page_;
	// What was ignored from whom, logged once each.
	std::set<std::string> ignored_;
	// A page whose process ended is reloaded at once, three times a minute at most.
	RateLimit reloads_{3, std::chrono::minutes(1)};
	Downloads downloads_;
	// The daemon this launcher started last; a daemon's end counts only for the latest start.
	uint64_t generation_ = 0;
	// Whether the last start attempt started a daemon (rather than finding one running).
	bool started_ = false;
	bool daemon_ended_ = false;
	std::string end_reason_;
	// Why the last attempt failed, and who holds the port.
	std::string reason_;
	PortListener holder_;
	std::shared_ptr<Wakeup> retry_;
	// Asks whether the shown daemon still answers, while it is shown.
	std::unique_ptr<SilenceWatch> silence_;
};

} // namespace tarnwick
