#include "session.hpp"

#include "external_browser.hpp"
#include "launcher_log.hpp"
#include "launcher_pages.hpp"
#include "native_window.hpp"
#include "page_policy.hpp"

#include "core/browser_window/message_delivery.hpp"
#include "message.hpp"

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

std::string describe(const PortListener& listener) {
	if (listener.name.empty()) return "an unknown program";
	return listener.name + " (pid " + std::to_string(listener.pid) + ")";
}

// Futures are made before they are awaited: g++ 12 mishandles temporaries in an awaiting expression.
Background<daemon::Status> start_daemon(const daemon::StartOptions& options) {
	return Background<daemon::Status>([options] { return daemon::ensure_running(options); });
}

Background<std::optional<PortListener>> ask_port_listener(uint16_t port) {
	return Background<std::optional<PortListener>>([port] { return port_listener(port); });
}

// A listener the system names, other than a daemon: something else holds the port.
bool held_by_another(const std::optional<PortListener>& listener) {
	return listener && !listener->name.empty() && !daemon::is_daemon_name(listener->name);
}

// An address as one line of the log: long data: URLs cut, control characters shown as '?'.
std::string loggable(std::string_view url) {
	std::string line(url.substr(0, 160));
	for (char& c : line)
		if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
	return url.size() > line.size() ? line + "..." : line;
}

// More distinct ignored messages than this are not logged one by one.
constexpr std::size_t ignored_kinds_logged = 32;

} // namespace

Session::Session(bw::ApplicationHandle app, DaemonAddress address, SessionTimes times)
    : app_(app), address_(std::move(address)), times_(times), last_daemon_page_(address_.url()), daemon_origin_(bw::origin_of(address_.url())) {}

void Session::equip(bw::BrowserWindowBuilder& builder) {
	std::weak_ptr<Session> self = weak_from_this();
	builder.navigation_policy([self](bw::BrowserWindowHandle, const bw::NavigationRequest& request) {
		auto session = self.lock();
		return session ? session->decide(request) : bw::NavigationDecision::Deny;
	});
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
}

bw::NavigationDecision Session::decide(const bw::NavigationRequest& request) {
	switch (route(request, daemon_origin_, own_page_)) {
	case PageRoute::Window: return bw::NavigationDecision::Allow;
	case PageRoute::DefaultBrowser:
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

daemon::StartOptions Session::start_options() {
	uint64_t generation = ++generation_;
	daemon_ended_ = false;
	daemon::StartOptions options;
	options.output = launcher_log::path();
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

Background<StartCheck> Session::check_daemon() {
	daemon::StartOptions options = start_options();
	uint16_t port = address_.port;
	return Background<StartCheck>([options = std::move(options), port] {
		// A daemon just started rarely listens yet; a listener now is most likely one already there.
		StartCheck check{daemon::ensure_running(options), std::nullopt};
		if (check.status.ok()) check.listener = port_listener(port);
		return check;
	});
}

void Session::daemon_ended(uint64_t generation, const std::string& how) {
	launcher_log::write("the daemon " + how);
	if (generation != generation_) return;
	daemon_ended_ = true;
	end_reason_ = "the daemon " + how;
	if (silence_) silence_->stop();
}

void Session::show(State state, const std::string& html, const std::string& what) {
	state_ = state;
	show_own(html, what);
	state_page_ = own_page_;
}

void Session::show_own(const std::string& html, const std::string& what) {
	// Allowed by the navigation policy from here on, and the only page of ours that is.
	own_page_ = html_data_url(html);
	launcher_log::write("showing " + what);
	if (auto owner = window_.lock()) (void)(*owner)->navigate(own_page_);
}

void Session::show_daemon_page() {
	state_ = State::Showing;
	own_page_.clear();
	state_page_.clear();
	launcher_log::write("showing the daemon's page " + last_daemon_page_);
	if (auto owner = window_.lock()) (void)(*owner)->navigate(last_daemon_page_);
}

void Session::show_port_taken() {
	launcher_log::write("port " + std::to_string(address_.port) + " is used by " + describe(holder_));
	show(State::PortTaken, port_taken_page(address_.port, holder_.name, launcher_log::path().string()), "the port-taken page");
}

void Session::give_up() {
	show(State::GivenUp, given_up_page(reason_, launcher_log::path().string()), "the given-up page: " + reason_);
}

void Session::request_retry() {
	if (retry_) retry_->fire();
}

void Session::raise() const {
	if (auto owner = window_.lock()) native_window::raise((*owner)->window());
}

bool Session::close() const {
	auto owner = window_.lock();
	if (owner) native_window::request_close((*owner)->window());
	return owner != nullptr;
}

bw::Task<> Session::run(bw::BrowserWindow window, StartCheck start) {
	auto keep = shared_from_this();
	window_ = window.owner();
	std::weak_ptr<Session> self = weak_from_this();
	window.on_message().register_handler([self](bw::BrowserWindowHandle handle, bw::MessageEventArgs args) {
		if (auto session = self.lock()) session->heard(handle, args);
	});

	if (start.status.started())
		launcher_log::write("started the daemon (pid " + std::to_string(start.status.pid()) + ")");
	else
		launcher_log::write("the daemon runs already (pid " + std::to_string(start.status.pid()) + ")");

	started_ = start.status.started();
	if (started_ && held_by_another(start.listener)) {
		holder_ = *start.listener;
		show_port_taken();
	} else if (window->source_loaded()) {
		state_ = State::Showing;
		launcher_log::write("the daemon's page loaded");
	} else {
		launcher_log::write("the first navigation failed: the daemon does not answer yet");
		// A daemon started just now often listens a moment later: the hidden window waits for it
		// rather than showing a page of its own that the daemon's would replace at once.
		Answer answer = Answer::None;
		if (started_ && !daemon_ended_) {
			bw::Task<Answer> waiting = wait_for_answer(times_.fresh_daemon_within, times_.fresh_daemon_every);
			answer = co_await waiting;
			if (window_gone()) co_return;
		}
		if (answer == Answer::Daemon) {
			state_ = State::Showing;
			launcher_log::write("the daemon answers now: loading its page");
			(void)window->navigate(last_daemon_page_);
		} else if (answer == Answer::Other) {
			show_port_taken();
		} else {
			show(State::Waiting, starting_page(), "the starting page");
		}
	}
	window.window().show();
	launcher_log::write(std::string("the window is shown on a ") + native_window::display_kind() + " display");
	// No strong reference beyond this point: closing the window must free it.
	{
		bw::BrowserWindow dropped = std::move(window);
	}
	bw::Task<> watching = watch();
	co_await watching;
}

bw::Task<> Session::watch() {
	while (!window_gone()) {
		switch (state_) {
		case State::Starting:
		case State::Showing: {
			// Woken when the daemon stops answering, or at once when the one we started ends.
			if (!daemon_ended_) {
				silence_ = std::make_unique<SilenceWatch>(address_, times_.watch_every, times_.probe_timeout);
				SilenceWatch::Future silent = silence_->ended();
				co_await silent;
				silence_.reset();
				if (window_gone()) co_return;
			}
			// Remembered to bring it back after a restart; the daemon's own pages only.
			if (auto owner = window_.lock()) {
				std::string url = (*owner)->url();
				if (url.rfind(address_.url(), 0) == 0) last_daemon_page_ = url;
			}
			Background<bool> probing = probe(address_, times_.probe_timeout);
			bool answers = co_await probing;
			if (window_gone()) co_return;
			if (answers && !daemon_ended_) continue;
			if (answers) {
				uint16_t port = address_.port;
				Background<std::optional<PortListener>> asking = ask_port_listener(port);
				auto listener = co_await asking;
				if (window_gone()) co_return;
				holder_ = listener.value_or(PortListener{});
				show_port_taken();
				continue;
			}
			reason_ = daemon_ended_ ? end_reason_ : "the daemon stopped answering at " + address_.url();
			launcher_log::write("lost the daemon: " + reason_);
			show(State::Restarting, restarting_page(), "the restarting page");
			break;
		}
		case State::Waiting: {
			bw::Task<Answer> waiting = wait_for_answer(times_.first_answer_within, times_.wait_every);
			Answer answer = co_await waiting;
			if (window_gone()) co_return;
			if (answer == Answer::Daemon) {
				show_daemon_page();
			} else if (answer == Answer::Other) {
				show_port_taken();
			} else if (answer == Answer::Ended) {
				reason_ = end_reason_;
				show(State::Restarting, restarting_page(), "the restarting page: " + reason_);
			} else {
				reason_ = "nothing answered at " + address_.url() + " within " + std::to_string(times_.first_answer_within.count()) + " seconds";
				give_up();
			}
			break;
		}
		case State::Restarting: {
			bw::Task<> restarting = restart();
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
		started_ = status.started();
		launcher_log::write(std::string(status.started() ? "started the daemon" : "the daemon runs already") + " (pid " +
		                    std::to_string(status.pid()) + ")");
		bw::Task<Answer> waiting = wait_for_answer(times_.restart_answer_within, times_.wait_every);
		Answer answer = co_await waiting;
		if (window_gone()) co_return;
		switch (answer) {
		case Answer::Daemon: show_daemon_page(); co_return;
		case Answer::Other: show_port_taken(); co_return;
		case Answer::Ended: reason_ = end_reason_; break;
		default: reason_ = "the daemon did not answer within " + std::to_string(times_.restart_answer_within.count()) + " seconds"; break;
		}
		launcher_log::write("the restart failed: " + reason_);
	}
	give_up();
}

bw::Task<> Session::wait_for_retry() {
	retry_ = std::make_shared<Wakeup>();
	Wakeup::Future retried{retry_};
	co_await retried;
	retry_.reset();
	if (window_gone()) co_return;
	launcher_log::write("the user asked to try again");
	// "Try again" starts at once, then keeps the usual schedule.
	daemon::StartOptions options = start_options();
	Background<daemon::Status> starting = start_daemon(options);
	daemon::Status status = co_await starting;
	if (window_gone()) co_return;
	if (status.ok()) {
		started_ = status.started();
		bw::Task<Answer> waiting = wait_for_answer(times_.restart_answer_within, times_.wait_every);
		Answer answer = co_await waiting;
		if (window_gone()) co_return;
		if (answer == Answer::Daemon) {
			show_daemon_page();
			co_return;
		}
		if (answer == Answer::Other) {
			show_port_taken();
			co_return;
		}
		reason_ = answer == Answer::Ended ? end_reason_ : "the daemon did not answer";
	} else {
		reason_ = "unable to spawn the daemon: " + status.error().to_string();
	}
	launcher_log::write("try again failed: " + reason_);
	show(State::Restarting, restarting_page(), "the restarting page");
}

bw::Task<Session::Answer> Session::wait_for_answer(std::chrono::steady_clock::duration within, std::chrono::milliseconds every) {
	auto deadline = std::chrono::steady_clock::now() + within;
	for (;;) {
		if (daemon_ended_) co_return Answer::Ended;
		Background<bool> probing = probe(address_, times_.probe_timeout);
		bool answers = co_await probing;
		if (window_gone()) co_return Answer::None;
		if (answers) {
			// A daemon we started has ended, or the system names another program as the listener
			// while ours starts: never show that program's page. A daemon found running is trusted.
			uint16_t port = address_.port;
			Background<std::optional<PortListener>> asking = ask_port_listener(port);
			std::optional<PortListener> listener = co_await asking;
			if (daemon_ended_ || (started_ && held_by_another(listener))) {
				holder_ = listener.value_or(PortListener{});
				co_return Answer::Other;
			}
			co_return Answer::Daemon;
		}
		if (std::chrono::steady_clock::now() >= deadline) co_return Answer::TimedOut;
		co_await app_.sleep(every);
	}
}

} // namespace tarnwick
