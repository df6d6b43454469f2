#include "session.hpp"

#include "external_browser.hpp"
#include "launcher_log.hpp"
#include "launcher_pages.hpp"
#include "native_window.hpp"
#include "page_policy.hpp"
#include "translations.hpp"

#include "daemon_output.hpp"

#include "core/browser_window/message_delivery.hpp"
#include "message.hpp"

#include <algorithm>

namespace tarnwick {

// Completes once fired. GUI thread only.
struct Session::Wakeup {
	bool fired = false;
	std::optional<bw::Waker> waker;

	struct Future {
		using Output = void;
		std::shared_ptr<Wakeup> wakeup;
		bool poll(const bw::Waker& waker) {
			if (wakeup->fired) return true;
			wakeup->waker = waker;
			return false;
		}
	};

	void fire() {
		fired = true;
		if (waker) waker->wake();
	}
};

namespace {

// Futures are made before they are awaited: g++ 12 mishandles temporaries in an awaiting expression.
Background<daemon::Status> start_daemon(const daemon::StartOptions& options) {
	return Background<daemon::Status>([options] { return daemon::ensure_running(options); });
}

Background<bool> ask_for_http(const DaemonAddress& address, std::chrono::milliseconds timeout) {
	return Background<bool>([address, timeout] { return http_answers(address, timeout); });
}

Background<bool> end_daemon(uint64_t pid, std::chrono::milliseconds grace) {
	return Background<bool>([pid, grace] { return daemon::end_daemon(pid, grace); });
}

// Only this many started daemons are remembered as ancestors of the daemon's listener.
constexpr std::size_t started_remembered = 8;

using launcher_log::loggable;

// More distinct ignored messages than this are not logged one by one.
constexpr std::size_t ignored_kinds_logged = 32;

} // namespace

Session::Session(bw::ApplicationHandle app, DaemonAddress address, SessionTimes times)
    : app_(app), address_(std::move(address)), times_(times), last_daemon_page_(address_.url()), daemon_origin_(bw::origin_of(address_.url())),
      downloads_(daemon_origin_), page_desktop_(std::make_unique<PageDesktop>(app_, daemon_origin_)) {}

void Session::equip(bw::BrowserWindowBuilder& builder) {
	std::weak_ptr<Session> self = weak_from_this();
	builder.navigation_policy([self](bw::BrowserWindowHandle, const bw::NavigationRequest& request) {
		auto session = self.lock();
		return session ? session->decide(request) : bw::NavigationDecision::Deny;
	}, {daemon_origin_});
	builder.downloads(
	    [self](bw::BrowserWindowHandle window, const bw::DownloadRequest& request) -> std::optional<std::filesystem::path> {
		    auto session = self.lock();
		    if (!session) return std::nullopt;
		    return session->downloads_.destination(window, request);
	    },
	    [self](bw::BrowserWindowHandle window, const bw::DownloadOutcome& outcome) {
		    if (auto session = self.lock()) session->downloads_.finished(window, outcome);
	    });
	builder.on_process_failed([self](bw::BrowserWindowHandle window, const bw::ProcessFailure& failure) {
		if (auto session = self.lock()) session->process_failed(window, failure);
	});
	builder.on_load([self](bw::BrowserWindowHandle, const bw::LoadEvent& event) {
		if (auto session = self.lock()) session->load_event(event);
	});
	builder.hold_first_navigation(gate_);
	page_desktop_->equip(builder);
}

void Session::load_event(const bw::LoadEvent& event) {
	navigation_++;
	navigating_ = event.kind == bw::LoadEvent::Kind::Started;
	if (navigating_ && event.url.rfind(address_.url(), 0) == 0) app_.spawn(notice_a_slow_navigation(navigation_));
}

// A stopped or deadlocked daemon leaves the page loading: it is asked at once rather than at the
// watch's next period.
bw::Task<> Session::notice_a_slow_navigation(uint64_t navigation) {
	auto self = weak_from_this();
	co_await app_.sleep(times_.slow_navigation);
	auto session = self.lock();
	if (!session || navigation_ != navigation || !navigating_ || !silence_) co_return;
	launcher_log::write("a navigation to the daemon has not ended within " + std::to_string(times_.slow_navigation.count()) + " s: asking it whether it answers");
	silence_->ask_now();
}

bw::NavigationDecision Session::decide(const bw::NavigationRequest& request) {
	switch (route(request, daemon_origin_, own_page_)) {
	case PageRoute::Window: return bw::NavigationDecision::Allow;
	case PageRoute::DefaultBrowser:
		// Only what the user asked for leaves the window, and only a few times a minute: a page must
		// not start the user's browser again and again by itself.
		if (!request.user_initiated) {
			std::string origin = bw::origin_of(request.url);
			if (unasked_origins_.size() < ignored_kinds_logged && unasked_origins_.insert(origin).second)
				launcher_log::write("refused to open " + loggable(origin) + " in the default browser without a user's action");
			return bw::NavigationDecision::Deny;
		}
		if (!browser_opens_.allow(RateLimit::Clock::now())) {
			launcher_log::write("refused to open " + loggable(request.url) + " in the default browser: too many within a minute");
			return bw::NavigationDecision::Deny;
		}
		launcher_log::write("opening " + loggable(request.url) + " in the default browser");
		if (auto failed = open_in_default_browser(request.url)) launcher_log::write("cannot open " + loggable(request.url) + ": " + *failed);
		return bw::NavigationDecision::Deny;
	case PageRoute::Refused: break;
	}
	launcher_log::write(std::string("refused ") + (request.new_window ? "a new window for " : "the navigation to ") + loggable(request.url));
	return bw::NavigationDecision::Deny;
}

void Session::heard(const bw::BrowserWindowHandle& window, const bw::MessageEventArgs& args) {
	Sender sender = sender_of(args.source, args.origin, daemon_origin_, own_page_);
	if (sender == Sender::OwnPage) {
		if (args.cmd == "retry") request_retry();
		else if (args.cmd == "quit") window.app().exit(0);
		else if (args.cmd == "reload" && own_page_ == page_ended_page_) reload_after_page_ended();
		return;
	}
	// The daemon's interface is the program's own and may end it, as before; retrying and reloading
	// belong to the launcher's pages. Its other messages are its own matters.
	if (sender == Sender::DaemonPage) {
		if (args.cmd == "quit") window.app().exit(0);
		if (args.cmd != "retry" && args.cmd != "reload") return;
	}
	ignore(args);
}

void Session::ignore(const bw::MessageEventArgs& args) {
	if (ignored_.size() > ignored_kinds_logged) return;
	std::string what = "\"" + loggable(args.cmd) + "\" from " + loggable(args.origin == "null" ? args.source : args.origin);
	if (!ignored_.insert(what).second) return;
	if (ignored_.size() > ignored_kinds_logged)
		launcher_log::write("ignored more kinds of messages: no longer logged");
	else
		launcher_log::write("ignored the message " + what);
}

void Session::process_failed(const bw::BrowserWindowHandle& window, const bw::ProcessFailure& failure) {
	switch (failure.kind) {
	case bw::ProcessFailure::Kind::PageUnresponsive: launcher_log::write("the page does not answer: " + failure.reason); return;
	case bw::ProcessFailure::Kind::EngineEnded: {
		std::string text = "The browser engine ended: " + failure.reason;
		launcher_log::write(text);
		// Shown outside the engine's own call, which must return first.
		bw::ApplicationHandle app = app_;
		app_.dispatch([app, text] {
			(void)bw::dialogs::MessageDialog::create().set_title("Tarnwick Error").set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
			app.exit(1);
		});
		return;
	}
	case bw::ProcessFailure::Kind::PageEnded: break;
	}
	if (reloads_.allow(RateLimit::Clock::now()) || window_gone()) {
		launcher_log::write("the page's process ended (" + failure.reason + "): reloading the page");
		window.reload();
		return;
	}
	launcher_log::write("the page's process ended (" + failure.reason + ") the fourth time within a minute");
	show_own(page_ended_page(failure.reason), "the page-ended page");
	page_ended_page_ = own_page_;
}

void Session::reload_after_page_ended() {
	launcher_log::write("the user asked to reload");
	if (state_ == State::Showing) {
		show_daemon_page();
	} else if (auto owner = window_.lock()) {
		own_page_ = state_page_;
		(void)(*owner)->navigate(own_page_);
	}
}

std::filesystem::path Session::daemon_output() const { return launcher_log::path().parent_path() / "daemon.log"; }

daemon::StartOptions Session::start_options() {
	uint64_t generation = ++generation_;
	daemon_ended_ = false;
	daemon::StartOptions options;
	options.output = daemon_output();
	output_from_ = prepare_daemon_output(options.output);
	std::weak_ptr<Session> self = weak_from_this();
	bw::ApplicationHandle app = app_;
	options.on_exit = [app, self, generation](const std::string& how) {
		// The session lives and dies on the GUI thread: only looked at there.
		app.dispatch([self, generation, how] {
			if (auto session = self.lock()) session->daemon_ended(generation, how);
		});
	};
	return options;
}

void Session::note_start(const daemon::Status& status) {
	started_ = status.started();
	if (started_) {
		started_pids_.push_back(status.pid());
		if (started_pids_.size() > started_remembered) started_pids_.erase(started_pids_.begin());
	}
	launcher_log::write(std::string(started_ ? "started the daemon" : "the daemon runs already") + " (pid " + std::to_string(status.pid()) + ")");
	keep_output_of_started_daemon();
}

Background<StartCheck> Session::check_daemon() {
	daemon::StartOptions options = start_options();
	uint16_t port = address_.port;
	return Background<StartCheck>([options = std::move(options), port] {
		// The daemon listening is the daemon running: the window need not wait for a look at every
		// process then.
		if (std::optional<IdentifiedListener> listening = identify_listener(port, {}); listening && listening->verdict == daemon::Verdict::Daemon)
			return StartCheck{daemon::Status::running(listening->listener.pid, false), std::move(listening)};
		StartCheck check{daemon::ensure_running(options), std::nullopt};
		if (check.status.ok()) {
			std::vector<uint64_t> started;
			if (check.status.started()) started.push_back(check.status.pid());
			// A daemon found running most likely holds the socket itself.
			std::vector<uint64_t> found{check.status.pid()};
			check.listener = identify_listener(port, started, found);
		}
		return check;
	});
}

Background<std::optional<IdentifiedListener>> Session::identify() const {
	return Background<std::optional<IdentifiedListener>>([port = address_.port, started = started_pids_] { return identify_listener(port, started); });
}

void Session::daemon_ended(uint64_t generation, const std::string& how) {
	launcher_log::write("the daemon " + how);
	if (generation != generation_) return;
	// Most daemons go into the background: the process started ends with 0 while its child serves.
	// Only its listener tells whether it runs.
	if (how == "exited with status 0") {
		launcher_log::write("taken as a daemon that went into the background: its listener is watched");
		return;
	}
	daemon_ended_ = true;
	end_reason_ = "the daemon " + how;
	std::vector<std::string> lines = last_output_lines(daemon_output(), output_from_);
	for (const std::string& line : lines) launcher_log::write("the daemon's output: " + line);
	if (!lines.empty()) {
		end_reason_ += ", saying \"";
		for (std::size_t i = 0; i < lines.size(); i++) end_reason_ += (i > 0 ? " / " : "") + lines[i];
		end_reason_ += "\"";
	}
	if (silence_) silence_->stop();
}

void Session::show(State state, const std::string& html, const std::string& what) {
	state_ = state;
	show_own(html, what);
	state_page_ = own_page_;
	if (state_changed_) state_changed_();
}

void Session::show_own(const std::string& html, const std::string& what) {
	// Allowed by the navigation policy from here on, and the only page of ours that is.
	own_page_ = html_data_url(html);
	launcher_log::write("showing " + what);
	if (!gate_->is_open())
		gate_->open(own_page_);
	else if (auto owner = window_.lock())
		(void)(*owner)->navigate(own_page_);
}

void Session::show_daemon_page() {
	state_ = State::Showing;
	own_page_.clear();
	state_page_.clear();
	if (!gate_->is_open()) {
		launcher_log::write("the window's first page is the daemon's, " + loggable(last_daemon_page_));
		gate_->open(last_daemon_page_);
		return;
	}
	launcher_log::write("showing the daemon's page " + loggable(last_daemon_page_));
	if (auto owner = window_.lock()) (void)(*owner)->navigate(last_daemon_page_);
	if (state_changed_) state_changed_();
}

std::string Session::stopped_reason() const {
	if (state_ == State::PortTaken) return "port " + std::to_string(address_.port) + " is used by " + describe_holder(holder_);
	return reason_;
}

void Session::open_daemon_page(const std::string& path) {
	last_daemon_page_ = address_.url() + path;
	if (state_ == State::Showing && gate_->is_open()) show_daemon_page();
}

std::string Session::daemon_page() const {
	auto owner = window_.lock();
	std::string url = owner && state_ == State::Showing ? (*owner)->url() : "";
	return url.rfind(address_.url(), 0) == 0 ? url : last_daemon_page_;
}

bool Session::restart_daemon() {
	if (state_ != State::Showing || service_ || shown_pid_ == 0) return false;
	launcher_log::write("restarting the daemon as the user asked (pid " + std::to_string(shown_pid_) + ")");
	app_.spawn([](std::shared_ptr<Session> self, uint64_t pid) -> bw::Task<> {
		Background<bool> ending = end_daemon(pid, self->times_.end_grace);
		co_await ending;
	}(shared_from_this(), shown_pid_));
	return true;
}

void Session::show_port_taken() {
	std::string holder = describe_holder(holder_);
	launcher_log::write("port " + std::to_string(address_.port) + " is used by " + holder);
	bool other_user = holder_.verdict == daemon::Verdict::AnotherUser;
	show(State::PortTaken, port_taken_page(address_.port, other_user ? "" : holder_.listener.name, launcher_log::path().string(), other_user ? holder : ""),
	     "the port-taken page");
	if (auto owner = window_.lock()) page_desktop_->tell_while_out_of_sight((*owner)->window(), tr("Another program is using port %1", {std::to_string(address_.port)}));
}

void Session::give_up() {
	show(State::GivenUp, given_up_page(reason_, launcher_log::path().string()), "the given-up page: " + reason_);
	if (auto owner = window_.lock()) page_desktop_->tell_while_out_of_sight((*owner)->window(), tr("Tarnwick stopped: %1", {reason_}));
}

void Session::request_retry() {
	if (retry_) retry_->fire();
}

bool Session::close() const {
	auto owner = window_.lock();
	if (owner) native_window::request_close((*owner)->window());
	return owner != nullptr;
}

bw::Task<> Session::choose_first_page(StartCheck start) {
	auto keep = shared_from_this();
	note_start(start.status);
	std::optional<IdentifiedListener> found = std::move(start.listener);
	// A daemon that is starting (ours just now, or one found starting) often listens a moment
	// later: the hidden window waits for it rather than showing a page of its own that the
	// daemon's would replace at once. Looking costs no connection, so it is done often.
	if (!found && !daemon_ended_) {
		gate_->prepare();
		bw::Task<Answer> waiting = wait_for_answer(times_.fresh_daemon_within, times_.fresh_daemon_every, false);
		Answer answer = co_await waiting;
		if (answer == Answer::Daemon) launcher_log::write("the daemon listens now: loading its page");
		if (!show_found(answer)) show(State::Waiting, starting_page(), "the starting page");
		co_return;
	}
	if (found && found->verdict == daemon::Verdict::Daemon) {
		shown_pid_ = found->listener.pid;
		service_ = found->listener.owner == daemon::Owner::System;
		shown_started_ = started_;
		show_daemon_page();
	} else if (found) {
		holder_ = *found;
		show_port_taken();
	} else {
		show(State::Waiting, starting_page(), "the starting page");
	}
}

bw::Task<> Session::run(bw::BrowserWindow window, bool show_window) {
	auto keep = shared_from_this();
	window_ = window.owner();
	arrived_ = true;
	std::weak_ptr<Session> self = weak_from_this();
	window.on_message().register_handler([self](bw::BrowserWindowHandle handle, bw::MessageEventArgs args) {
		if (auto session = self.lock()) session->heard(handle, args);
	});

	if (state_ == State::Showing) {
		if (window->source_loaded()) {
			launcher_log::write("the daemon's page loaded");
		} else {
			// The daemon listened, yet its page did not load (it ended meanwhile, or did not answer
			// within the first navigation's limit): the watch takes it from here.
			launcher_log::write("the first navigation failed: the daemon does not answer yet");
			show(State::Waiting, starting_page(), "the starting page");
		}
	}
	if (show_window) {
		window.window().show();
		launcher_log::write(std::string("the window is shown on a ") + native_window::display_kind() + " display");
	} else {
		launcher_log::write("the window starts hidden: the status icon is shown");
	}
	// No strong reference beyond this point: closing the window must free it.
	{
		bw::BrowserWindow dropped = std::move(window);
	}
	keep_output_of_started_daemon();
	bw::Task<> watching = watch();
	co_await watching;
}

void Session::keep_output_of_started_daemon() {
	if (!arrived_ || !started_ || std::exchange(keeping_output_, true)) return;
	app_.spawn(keep_daemon_output_small());
}

bw::Task<> Session::keep_daemon_output_small() {
	auto keep = shared_from_this();
	std::chrono::seconds every = times_.output_every;
	std::uintmax_t last_size = 0;
	while (!window_gone()) {
		co_await app_.sleep(every);
		if (window_gone()) co_return;
		if (!started_) {
			keeping_output_ = false;
			co_return;
		}
		// A look at the size costs less than a call to the background thread, which copies.
		std::error_code unknown;
		std::uintmax_t size = std::filesystem::file_size(daemon_output(), unknown);
		// A daemon that writes is looked at every period; a quiet one, whose window may stay open for
		// days, ever more seldom.
		every = size == last_size ? std::min(every * 2, times_.output_quiet_every) : times_.output_every;
		last_size = size;
		if (unknown || size <= daemon_output_limit) continue;
		Background<bool> keeping([file = daemon_output()] { return keep_daemon_output_within(file); });
		if (co_await keeping) {
			// What the daemon says from now on begins the file.
			output_from_ = 0;
			launcher_log::write("the daemon's output passed its limit: the earlier part was moved to daemon.log.1");
		}
	}
}

bw::Task<> Session::watch() {
	while (!window_gone()) {
		switch (state_) {
		case State::Starting:
		case State::Showing: {
			// Woken when the daemon stops listening or answering, or at once when the one we started
			// ends.
			SilenceWatch::Outcome outcome = SilenceWatch::Outcome::Stopped;
			if (!daemon_ended_) {
				silence_ = std::make_unique<SilenceWatch>(address_, times_.watch);
				SilenceWatch::Future silent = silence_->ended();
				outcome = co_await silent;
				silence_.reset();
				if (window_gone()) co_return;
			}
			// Remembered to bring it back after a restart; the daemon's own pages only.
			if (auto owner = window_.lock()) {
				std::string url = (*owner)->url();
				if (url.rfind(address_.url(), 0) == 0) last_daemon_page_ = url;
			}
			bw::Task<> losing = lose_daemon(outcome);
			co_await losing;
			break;
		}
		case State::Waiting: {
			bw::Task<Answer> waiting = wait_for_answer(times_.first_answer_within, times_.wait_every, false);
			Answer answer = co_await waiting;
			if (window_gone()) co_return;
			if (show_found(answer)) break;
			if (answer == Answer::Ended) {
				reason_ = end_reason_;
				show(State::Restarting, restarting_page(reason_), "the restarting page: " + reason_);
			} else {
				reason_ = started_ ? "the daemon started but did not answer on port " + std::to_string(address_.port) + " within " +
				                         std::to_string(times_.first_answer_within.count()) + " s"
				                   : "nothing answered at " + address_.url() + " within " + std::to_string(times_.first_answer_within.count()) + " seconds";
				give_up();
			}
			break;
		}
		case State::Restarting: {
			bw::Task<> restarting = service_ ? wait_for_service() : restart();
			co_await restarting;
			break;
		}
		case State::GivenUp:
		case State::PortTaken: {
			bw::Task<> waiting = wait_for_retry();
			co_await waiting;
			break;
		}
		}
	}
}

// The shown daemon stopped listening, stopped answering, or the process we started ended: what
// holds the port now decides what the window shows.
bw::Task<> Session::lose_daemon(SilenceWatch::Outcome outcome) {
	if (outcome == SilenceWatch::Outcome::Unanswered) {
		reason_ = "the daemon stopped answering at " + address_.url();
		launcher_log::write("lost the daemon: " + reason_);
		show(State::Restarting, service_ ? service_lost_page(reason_) : restarting_page(reason_), "the restarting page");
		// A daemon of ours that hangs is ended, so that a new one can take the port.
		if (shown_started_ && shown_pid_ != 0 && !service_) {
			launcher_log::write("ending the daemon that stopped answering (pid " + std::to_string(shown_pid_) + ")");
			Background<bool> ending = end_daemon(shown_pid_, times_.end_grace);
			co_await ending;
		}
		co_return;
	}
	Background<std::optional<IdentifiedListener>> identifying = identify();
	std::optional<IdentifiedListener> found = co_await identifying;
	if (window_gone()) co_return;
	if (found && found->verdict == daemon::Verdict::Daemon) {
		// Another process of the daemon's listens (a restart of its own), or one the free look does
		// not see (bound to another address): watched from here on, never sooner than a period.
		daemon_ended_ = false;
		shown_pid_ = found->listener.pid;
		co_await app_.sleep(times_.watch.listener_every);
		co_return;
	}
	if (found) {
		holder_ = *found;
		show_port_taken();
		co_return;
	}
	reason_ = daemon_ended_ ? end_reason_ : "the daemon stopped answering at " + address_.url();
	launcher_log::write("lost the daemon: " + reason_);
	if (service_)
		show(State::Restarting, service_lost_page(reason_), "the restarting page: the daemon is a system service");
	else
		show(State::Restarting, restarting_page(reason_), "the restarting page");
}

bw::Task<> Session::restart() {
	for (std::size_t attempt = 0; attempt < times_.restart_after.size(); attempt++) {
		co_await app_.sleep(times_.restart_after[attempt]);
		if (window_gone()) co_return;
		launcher_log::write("restart attempt " + std::to_string(attempt + 1) + " of " + std::to_string(times_.restart_after.size()));
		daemon::StartOptions options = start_options();
		Background<daemon::Status> starting = start_daemon(options);
		daemon::Status status = co_await starting;
		if (window_gone()) co_return;
		if (!status.ok()) {
			reason_ = "unable to spawn the daemon: " + status.error().to_string();
			launcher_log::write(reason_);
			continue;
		}
		note_start(status);
		bw::Task<Answer> waiting = wait_for_answer(times_.restart_answer_within, times_.wait_every, true);
		Answer answer = co_await waiting;
		if (window_gone() || show_found(answer)) co_return;
		reason_ = answer == Answer::Ended ? end_reason_ : "the daemon did not answer within " + std::to_string(times_.restart_answer_within.count()) + " seconds";
		launcher_log::write("the restart failed: " + reason_);
	}
	give_up();
}

// A system service comes back by itself or not at all: the window waits for it to answer again.
bw::Task<> Session::wait_for_service() {
	for (;;) {
		bw::Task<Answer> waiting = wait_for_answer(times_.restart_answer_within, std::chrono::seconds(1), true);
		Answer answer = co_await waiting;
		if (window_gone() || show_found(answer)) co_return;
	}
}

bool Session::show_found(Answer answer) {
	if (answer == Answer::Daemon)
		show_daemon_page();
	else if (answer == Answer::Other)
		show_port_taken();
	else
		return false;
	return true;
}

bw::Task<> Session::wait_for_retry() {
	retry_ = std::make_shared<Wakeup>();
	Wakeup::Future retried{retry_};
	co_await retried;
	retry_.reset();
	if (window_gone()) co_return;
	launcher_log::write("the user asked to try again");
	service_ = false;
	// "Try again" starts at once, then keeps the usual schedule.
	daemon::StartOptions options = start_options();
	Background<daemon::Status> starting = start_daemon(options);
	daemon::Status status = co_await starting;
	if (window_gone()) co_return;
	if (status.ok()) {
		note_start(status);
		bw::Task<Answer> waiting = wait_for_answer(times_.restart_answer_within, times_.wait_every, true);
		Answer answer = co_await waiting;
		if (window_gone() || show_found(answer)) co_return;
		reason_ = answer == Answer::Ended ? end_reason_ : "the daemon did not answer";
	} else {
		reason_ = "unable to spawn the daemon: " + status.error().to_string();
	}
	launcher_log::write("try again failed: " + reason_);
	show(State::Restarting, restarting_page(reason_), "the restarting page");
}

bw::Task<Session::Answer> Session::wait_for_answer(std::chrono::steady_clock::duration within, std::chrono::milliseconds every, bool ask_http) {
	auto deadline = std::chrono::steady_clock::now() + within;
	for (;;) {
		Background<std::optional<IdentifiedListener>> identifying = identify();
		std::optional<IdentifiedListener> found = co_await identifying;
		if (window_gone()) co_return Answer::None;
		if (found && found->verdict != daemon::Verdict::Daemon) {
			// Never show another program's page, nor send it anything.
			holder_ = *found;
			co_return Answer::Other;
		}
		if (found) {
			bool answers = true;
			// A daemon that listens but is stopped would hang the page: after a loss, it must answer.
			if (ask_http) {
				Background<bool> asking = ask_for_http(address_, times_.watch.answer_within);
				answers = co_await asking;
				if (window_gone()) co_return Answer::None;
			}
			if (answers) {
				daemon_ended_ = false;
				shown_pid_ = found->listener.pid;
				service_ = found->listener.owner == daemon::Owner::System;
				shown_started_ = started_;
				co_return Answer::Daemon;
			}
		} else if (daemon_ended_) {
			co_return Answer::Ended;
		}
		if (std::chrono::steady_clock::now() >= deadline) co_return Answer::TimedOut;
		co_await app_.sleep(every);
	}
}

} // namespace tarnwick
