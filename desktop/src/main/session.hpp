// The launcher's window and the daemon behind it: one object that knows which state the launcher is
// in and moves between them.
//
//   Starting ──no daemon listens yet──> Waiting ──answers──> Showing
//   Starting ──the daemon listens──────────────────────────> Showing ──ended / silent──> Restarting
//   Restarting ──answers──> Showing (the page the user was on)
//   Restarting ──five failed starts──> GivenUp ──"Try again"──> Restarting
//   any ──another program answers on the port──> PortTaken ──"Try again"──> Restarting
//
// Nothing of the window's reaches the port before the listener there is known to be the daemon
// (listener_identity.hpp): the window's first navigation is held until then.
//
// Beside the states: which pages the window may show and who may post what (page_policy.hpp), the
// page's downloads, and a page whose process ended.
#pragma once

#include "address_probe.hpp"
#include "daemon/daemon.hpp"
#include "downloads.hpp"
#include "listener_identity.hpp"
#include "page_desktop/page_desktop.hpp"
#include "rate_limit.hpp"
#include "silence_watch.hpp"

#include "application/application.hpp"
#include "browser/browser_window.hpp"
#include "browser/builder/browser_window_builder.hpp"

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnwick {

struct SessionTimes {
	// How the shown daemon is watched.
	WatchTimes watch;
	// How often a daemon being started is looked for.
	std::chrono::milliseconds wait_every{250};
	// How long the window stays hidden for a daemon started just now to listen, and how often it is
	// looked for meanwhile (a look costs no connection).
	std::chrono::milliseconds fresh_daemon_within{2000};
	std::chrono::milliseconds fresh_daemon_every{20};
	// How long the first start may take to answer, and each restart.
	std::chrono::seconds first_answer_within{30};
	std::chrono::seconds restart_answer_within{10};
	// How long a navigation to the daemon may take before the daemon is asked whether it answers.
	std::chrono::seconds slow_navigation{10};
	// How often the daemon's output file is measured against its limit while it grows, and at most
	// how seldom while it does not.
	std::chrono::seconds output_every{1};
	std::chrono::seconds output_quiet_every{8};
	// How long a daemon that stopped answering has to end when asked, before it is forced.
	std::chrono::seconds end_grace{10};
	// The delays before each restart attempt; after the last one fails the launcher gives up.
	std::array<std::chrono::seconds, 5> restart_after{std::chrono::seconds(1), std::chrono::seconds(2), std::chrono::seconds(4),
	                                                  std::chrono::seconds(8), std::chrono::seconds(16)};
};

// What the supervisor found out before the window was shown.
struct StartCheck {
	daemon::Status status;
	// Who listens on the daemon's port, when something does, and whether it is the daemon.
	std::optional<IdentifiedListener> listener;
};

class Session : public std::enable_shared_from_this<Session> {
public:
	enum class State { Starting, Waiting, Showing, Restarting, GivenUp, PortTaken };

	Session(bw::ApplicationHandle app, DaemonAddress address, SessionTimes times);

	// What the window's pages may do: where navigations go, downloads, a page's process that ends;
	// and its first navigation held until the session lets it go. Before the window is built.
	void equip(bw::BrowserWindowBuilder& builder);
	// Makes sure the daemon runs, off the GUI thread; a daemon it starts reports its end here.
	Background<StartCheck> check_daemon();
	// Lets the window's first navigation go to the daemon once its listener is known to be the
	// daemon, or to a page of the launcher's own: at once for a daemon found listening, the moment
	// a daemon just started listens, or after fresh_daemon_within.
	bw::Task<> choose_first_page(StartCheck start);
	// Shows the freshly built window (unless asked not to) and then watches the daemon for as long
	// as the window exists.
	bw::Task<> run(bw::BrowserWindow window, bool show_window = true);
	// Asks the window to close as its close button does; false when there is no window yet.
	bool close() const;
	State state() const { return state_; }
	// Why the daemon is not shown, in GivenUp and PortTaken.
	std::string stopped_reason() const;
	// Called on the GUI thread after each change of state.
	void on_state_changed(std::function<void()> changed) { state_changed_ = std::move(changed); }
	// What the daemon's pages may do on the desktop.
	PageDesktop& page_desktop() { return *page_desktop_; }
	// Shows a page of the daemon's at its origin (a path beginning with one '/'): at once while the
	// daemon is shown, otherwise once it is; the window's first page when it has not loaded one yet.
	void open_daemon_page(const std::string& path);
	// The daemon's page the window shows, or the daemon's address.
	std::string daemon_page() const;
	// Ends the daemon shown (this user's, never a system service), gracefully first; the watch then
	// starts it again. False when there is none to end.
	bool restart_daemon();

private:
	enum class Answer { Daemon, Other, None, Ended, TimedOut };

	daemon::StartOptions start_options();
	void note_start(const daemon::Status& status);
	void daemon_ended(uint64_t generation, const std::string& how);
	Background<std::optional<IdentifiedListener>> identify() const;
	// Looks for the daemon's listener until it is found (and, when asked, answers HTTP), something
	// else holds the port, the daemon ended, or the time is up.
	bw::Task<Answer> wait_for_answer(std::chrono::steady_clock::duration within, std::chrono::milliseconds every, bool ask_http);
	// Shows the daemon's page or the port-taken page when the wait found either: whether it did.
	bool show_found(Answer answer);
	bw::Task<> watch();
	// Keeps the daemon's output file within its limit while the window is open and the daemon is
	// one this launcher started: a daemon found running writes elsewhere, and the window's idle
	// hours then cost no wake-up for it.
	bw::Task<> keep_daemon_output_small();
	void keep_output_of_started_daemon();
	bool keeping_output_ = false;
	bw::Task<> lose_daemon(SilenceWatch::Outcome outcome);
	bw::Task<> restart();
	bw::Task<> wait_for_service();
	bw::Task<> wait_for_retry();
	void show_daemon_page();
	void show(State state, const std::string& html, const std::string& what);
	// A page of the launcher's own that does not change the state.
	void show_own(const std::string& html, const std::string& what);
	bw::NavigationDecision decide(const bw::NavigationRequest& request);
	void heard(const bw::BrowserWindowHandle& window, const bw::MessageEventArgs& args);
	void ignore(const bw::MessageEventArgs& args);
	void process_failed(const bw::BrowserWindowHandle& window, const bw::ProcessFailure& failure);
	void load_event(const bw::LoadEvent& event);
	bw::Task<> notice_a_slow_navigation(uint64_t navigation);
	void reload_after_page_ended();
	void show_port_taken();
	void give_up();
	void request_retry();
	// Closed by the user: true only once the window has come.
	bool window_gone() const { return arrived_ && window_.expired(); }
	std::filesystem::path daemon_output() const;

	struct Wakeup;

	bw::ApplicationHandle app_;
	DaemonAddress address_;
	SessionTimes times_;
	std::weak_ptr<bw::BrowserWindowOwner> window_;
	bool arrived_ = false;
	// Holds the window's first navigation until the session lets it go.
	std::shared_ptr<bw::FirstNavigationGate> gate_ = std::make_shared<bw::FirstNavigationGate>();
	State state_ = State::Starting;
	// The daemon's page the user was on, brought back after a restart.
	std::string last_daemon_page_;
	std::string daemon_origin_;
	// The data: URL of the launcher's page shown now (empty while the daemon's is), and of the page
	// of the state, which the first may cover.
	std::string own_page_;
	std::string state_page_;
	std::string page_ended_page_;
	// What was ignored from whom, logged once each; the origins that tried to open the default
	// browser without a user's action, logged once each.
	std::set<std::string> ignored_;
	std::set<std::string> unasked_origins_;
	// The default browser is opened five times a minute at most.
	RateLimit browser_opens_{5, std::chrono::minutes(1)};
	// Counts the window's navigations: one to the daemon that has not ended after a while has the
	// daemon asked at once whether it still answers.
	uint64_t navigation_ = 0;
	bool navigating_ = false;
	// A page whose process ended is reloaded at once, three times a minute at most.
	RateLimit reloads_{3, std::chrono::minutes(1)};
	Downloads downloads_;
	// The daemon this launcher started last; a daemon's end counts only for the latest start.
	uint64_t generation_ = 0;
	// Whether the last start attempt started a daemon (rather than finding one running), and the
	// daemons this launcher started (newest last; a forked daemon's listener descends from them).
	bool started_ = false;
	std::vector<uint64_t> started_pids_;
	bool daemon_ended_ = false;
	std::string end_reason_;
	// Where the daemon's output of the last start begins in its output file.
	std::uintmax_t output_from_ = 0;
	// The process that listens for the daemon shown, and whether it is a system service (which the
	// launcher can neither end nor start) or one this launcher started.
	uint64_t shown_pid_ = 0;
	bool service_ = false;
	bool shown_started_ = false;
	// Why the last attempt failed, and who holds the port.
	std::string reason_;
	IdentifiedListener holder_;
	std::shared_ptr<Wakeup> retry_;
	// Asks whether the shown daemon still answers, while it is shown.
	std::unique_ptr<SilenceWatch> silence_;
	// The pages' permissions and notifications.
	std::unique_ptr<PageDesktop> page_desktop_;
	std::function<void()> state_changed_;
};

} // namespace tarnwick
