// tarnwick_desktop: makes sure the Tarnwick daemon runs, shows its web interface in a window, and
// keeps it there: one launcher per user session, the daemon watched and restarted, the window's
// size and place remembered.
#include "daemon/daemon.hpp"
#include "desktop/autostart.hpp"
#include "desktop/command_line.hpp"
#include "desktop/console.hpp"
#include "desktop/settings.hpp"
#include "desktop/tray.hpp"
#include "desktop/window_presence.hpp"
#include "external_browser.hpp"
#include "launcher_log.hpp"
#include "native_window.hpp"
#include "session.hpp"
#include "single_instance.hpp"
#include "termination.hpp"
#include "translations.hpp"
#include "user_folders.hpp"
#include "window_state.hpp"

#include "application/application.hpp"
#include "browser/builder/browser_window_builder.hpp"
#include "browser/engine_version.hpp"
#include "core/fatal.hpp"
#include "core/process.hpp"
#include "message.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

namespace tarnwick {

namespace {

const DaemonAddress daemon_address{"127.0.0.1", 37338};

// How long a launch with --minimized waits for its status icon to be shown.
constexpr std::chrono::seconds minimized_icon_within{2};

// How long after the window is shown the status icon is made: the tray host reads its pixmaps and
// menu at once, which would compete with the page's first paint and scripts for the processor.
constexpr std::chrono::seconds icon_after_shown{1};

// How long the first navigation may take before the window is shown without it.
constexpr std::chrono::seconds first_navigation_within{4};

// Lives until the process ends.
struct Launcher {
	std::shared_ptr<Session> session;
	native_window::Tracker tracker;
	WindowState placed;
	// The page's zoom as the user left it.
	double zoom = 1.0;
	SingleInstance* instance = nullptr;
	// The window once built; it expires when the window is closed.
	std::weak_ptr<bw::BrowserWindowOwner> window;
	bool built = false;
	// Set when the launcher began to end: later launches wait for it rather than being raised.
	bool closing = false;
	std::filesystem::path state_file;
	// What this launch was asked to do.
	command_line::Command command;
	Settings settings;
	std::unique_ptr<Tray> tray;
	// Said once: closing ends the launcher although it should keep running, as no icon is shown.
	bool no_icon_logged = false;
};

// Later launches are no longer raised but wait for this one to end. GUI thread.
void begin_closing(Launcher& launcher) {
	if (launcher.closing) return;
	launcher.closing = true;
	if (launcher.instance != nullptr) launcher.instance->stop_listening();
}

// Ends the launcher as the close button does by default; the daemon keeps running. GUI thread.
void end_launcher(bw::ApplicationHandle app, Launcher& launcher) {
	begin_closing(launcher);
	auto owner = launcher.window.lock();
	// A hidden window gets no close request: the loop ends here.
	if (!owner || !window_presence::on_screen((*owner)->window()) || !launcher.session->close()) app.exit(0);
}

void quit(bw::ApplicationHandle app, Launcher& launcher) {
	launcher_log::write("asked to quit: closing the window");
	end_launcher(app, launcher);
}

void show_window(Launcher& launcher) {
	if (auto owner = launcher.window.lock()) window_presence::show((*owner)->window());
}

// What a later launch is told, after doing what it asked. GUI thread.
SingleInstance::Answer answer_request(bw::ApplicationHandle app, Launcher& launcher, const command_line::Command& command) {
	using command_line::Verb;
	auto owner = launcher.window.lock();
	if (!owner && launcher.built) begin_closing(launcher);
	if (launcher.closing) return SingleInstance::Answer::Closing;
	if (!launcher.session) return SingleInstance::Answer::NotYet;
	switch (command.verb) {
	case Verb::Quit:
		quit(app, launcher);
		return SingleInstance::Answer::Closing;
	// Autostart and session restore never pop the window up.
	case Verb::Minimized: return SingleInstance::Answer::Raised;
	case Verb::Open:
		launcher_log::write("a later launch asks for a page of the daemon's");
		launcher.session->open_daemon_page(command.path);
		break;
	case Verb::Toggle:
		if (owner && window_presence::on_screen((*owner)->window())) {
			bool icon = launcher.tray && launcher.tray->shown();
			launcher_log::write(icon ? "toggled: hiding the window" : "toggled: minimising the window (no status icon is shown)");
			// After the answer: hiding may take longer than the later launch waits for one, and
			// that launch would ask again.
			app.dispatch([&launcher, icon] {
				auto window = launcher.window.lock();
				if (!window) return;
				if (icon)
					window_presence::hide((*window)->window());
				else
					window_presence::minimize((*window)->window());
			});
			return SingleInstance::Answer::Raised;
		}
		launcher_log::write("toggled: showing the window");
		break;
	default: break;
	}
	if (!owner) return SingleInstance::Answer::NotYet;
	window_presence::show((*owner)->window());
	return native_window::raise((*owner)->window()) ? SingleInstance::Answer::Raised : SingleInstance::Answer::NotYet;
}

// The close button: with "Keep Running When Closed" and an icon really shown, the window is only
// hidden. Never when no icon is shown, where the window could not be reached again.
bw_Bool32 keep_on_close(bw_Window* window, void* data) {
	auto& launcher = *static_cast<Launcher*>(data);
	if (launcher.closing || !launcher.settings.flag(Settings::keep_running_when_closed)) return 0;
	if (!launcher.tray || !launcher.tray->shown()) {
		if (!launcher.no_icon_logged) launcher_log::write("closing ends the launcher although it should keep running: no status icon is shown");
		launcher.no_icon_logged = true;
		return 0;
	}
	launcher_log::write("the window is hidden: the launcher keeps running in the status icon");
	bw_Window_hide(window);
	return 1;
}

Tray::Look look_of(const Session& session) {
	switch (session.state()) {
	case Session::State::Showing: return {tr("Tarnwick: running"), false};
	case Session::State::Restarting: return {tr("Tarnwick: restarting the daemon"), false};
	case Session::State::GivenUp:
	case Session::State::PortTaken: return {tr("Tarnwick: stopped: %1", {session.stopped_reason()}), true};
	case Session::State::Starting:
	case Session::State::Waiting: break;
	}
	return {tr("Tarnwick: starting the daemon"), false};
}

void add_tray(bw::ApplicationHandle app, Launcher& launcher) {
	Tray::Actions actions;
	actions.open_window = [&launcher] { show_window(launcher); };
	actions.open_in_browser = [&launcher] {
		std::string page = launcher.session->daemon_page();
		launcher_log::write("opening the daemon's page in the default browser");
		if (auto refused = open_in_default_browser(page)) launcher_log::write("cannot open the default browser: " + *refused);
	};
	actions.restart_daemon = [&launcher] {
		if (!launcher.session->restart_daemon()) launcher_log::write("restart asked for, but no daemon of this launcher's is shown");
	};
	actions.quit = [app, &launcher] { quit(app, launcher); };
	// A window hidden into an icon that is no longer shown could not be reached again.
	actions.shown_changed = [&launcher](bool shown) {
		auto owner = launcher.window.lock();
		if (shown || !owner || launcher.closing || !window_presence::hidden((*owner)->window())) return;
		launcher_log::write("the status icon is gone: showing the hidden window");
		window_presence::show((*owner)->window());
	};
	std::filesystem::path program = bw::process::executable_path().value_or(std::filesystem::path{});
	launcher.tray = std::make_unique<Tray>(app, launcher.settings, program, std::move(actions));
	launcher.tray->show_look(look_of(*launcher.session));
	launcher.session->page_desktop().use_tray_icon([&launcher] { return launcher.tray ? launcher.tray->shown_icon() : nullptr; });
	launcher.session->on_state_changed([&launcher] { launcher.tray->show_look(look_of(*launcher.session)); });
}

// Asks the GUI thread, within the limit a later launch waits for its answer.
SingleInstance::Answer raise_from_another_thread(bw::ApplicationHandle app, Launcher& launcher, const command_line::Command& command) {
	auto answer = std::make_shared<std::promise<SingleInstance::Answer>>();
	std::future<SingleInstance::Answer> answered = answer->get_future();
	if (!app.dispatch([answer, app, &launcher, command] { answer->set_value(answer_request(app, launcher, command)); })) return SingleInstance::Answer::Closing;
	if (answered.wait_for(SingleInstance::answer_limit - std::chrono::milliseconds(200)) != std::future_status::ready) return SingleInstance::Answer::NotYet;
	return answered.get();
}

void save_state(Launcher& launcher) {
	if (!launcher.session || launcher.session->state() == Session::State::Starting) return;
	WindowState last = launcher.tracker.last();
	last.zoom = launcher.zoom;
	if (!save_window_state(launcher.state_file, last)) launcher_log::write("cannot save the window state to " + launcher.state_file.string());
}

// Builds the window outside the awaiting expression (g++ 12 mishandles temporaries there). Its
// first navigation is held until the session knows whether the port's listener is the daemon, and
// then goes to the daemon or to a page of the launcher's own; something that accepts the connection
// but never answers cannot keep the window hidden for longer than first_navigation_within, and a
// failed navigation leaves the view empty, since the session shows a page of its own or the
// daemon's.
bw::BrowserWindowFuture build_window(bw::ApplicationHandle app, Launcher& launcher) {
	bw::BrowserWindowBuilder builder(bw::Source::Url{daemon_address.url()});
	builder.dev_tools(true);
	builder->title("Tarnwick");
	builder->size(1024, 768);
	builder.first_navigation_within(first_navigation_within);
	builder.engine_error_pages(false);
	builder.background(bw::desktop_background());
	builder.browser_keys(true);
	builder.zoom(launcher.zoom, [&launcher](bw::BrowserWindowHandle, double factor) { launcher.zoom = clamped_zoom(factor); });
	launcher.session->equip(builder);
	return bw::BrowserWindowBuilder::build_async(std::move(builder), app);
}

void show_spawn_error(bw::ApplicationHandle app, const daemon::Error& error) {
	launcher_log::write("Unable to spawn the Tarnwick daemon: " + error.to_string());
	std::string text = tr("Unable to spawn the Tarnwick daemon: %1", {error.to_string()});
	auto shown = bw::dialogs::MessageDialog::create().set_title(tr("Tarnwick Error")).set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
	if (!shown.ok()) bw::fatal_stop("unable to show error dialog: " + shown.error().debug_string());
	app.exit(1);
}

// The framework ends a first navigation that takes longer than the limit; said in the log when
// the window has not come by then.
bw::Task<> note_a_hanging_first_navigation(bw::ApplicationHandle app, std::shared_ptr<bool> arrived) {
	co_await app.sleep(first_navigation_within);
	if (!*arrived)
		launcher_log::write("the first navigation has not ended within " + std::to_string(first_navigation_within.count()) + " seconds: ending it");
}

// The engine starts while the supervisor looks for the daemon; the window is shown only once both
// are done, and never when the daemon cannot be started.
bw::Task<> startup(bw::ApplicationHandle app, Launcher& launcher) {
	launcher.session = std::make_shared<Session>(app, daemon_address, SessionTimes{});
	if (launcher.command.verb == command_line::Verb::Open) launcher.session->open_daemon_page(launcher.command.path);
	bw::BrowserWindowFuture building = build_window(app, launcher);
	// Set once the window arrived or will never be shown.
	auto arrived = std::make_shared<bool>(false);
	app.spawn(note_a_hanging_first_navigation(app, arrived));
	StartCheck check = co_await launcher.session->check_daemon();
	if (!check.status.ok()) {
		*arrived = true;
		begin_closing(launcher);
		show_spawn_error(app, check.status.error());
		co_return;
	}
	// The first navigation waits for this, while the engine starts.
	bw::Task<> choosing = launcher.session->choose_first_page(std::move(check));
	co_await choosing;
	bw::BrowserWindow window = co_await std::move(building);
	*arrived = true;
	launcher.window = window.owner();
	launcher.built = true;
	native_window::place(window.window(), launcher.placed);
	launcher.tracker.follow(window.window(), launcher.placed);
	native_window::on_session_end(window.window(), [&launcher] { save_state(launcher); });
	bw_Window_setCloseFilter(window.window().impl().inner(), keep_on_close, &launcher);
	// The icon comes after the window is shown; started minimised, the window waits for it a moment.
	bool hidden = false;
	if (launcher.command.verb == command_line::Verb::Minimized) {
		add_tray(app, launcher);
		auto until = std::chrono::steady_clock::now() + minimized_icon_within;
		while (!launcher.tray->shown() && std::chrono::steady_clock::now() < until) co_await app.sleep(std::chrono::milliseconds(20));
		hidden = launcher.tray->shown();
		if (!hidden) launcher_log::write("started minimised, but no status icon is shown: showing the window");
	}
	app.spawn(launcher.session->run(window, !hidden));
	native_window::restore_maximized(window.window(), launcher.placed);
	if (launcher.tray) co_return;
	co_await app.sleep(icon_after_shown);
	if (!launcher.tray && !launcher.closing) add_tray(app, launcher);
}

// A GUI program has no console: a fatal stop is also shown in a box.
void show_fatal_stop(std::string_view text) {
	(void)bw::dialogs::MessageDialog::create().set_title(tr("Tarnwick Error")).set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
}

} // namespace

} // namespace tarnwick

int main() {
	using namespace tarnwick;
	std::vector<std::string> arguments = bw::process::arguments();
	if (!arguments.empty()) arguments.erase(arguments.begin());
	command_line::Parsed parsed = command_line::parse(arguments);
	if (!parsed.command) {
		console::error("tarnwick_desktop: " + parsed.error + "\n" + command_line::usage());
		return 2;
	}
	const command_line::Command command = *parsed.command;
	if (command.verb == command_line::Verb::Help) {
		console::out(command_line::usage());
		return 0;
	}
	if (command.verb == command_line::Verb::Version) {
		console::out("tarnwick_desktop " TARNWICK_VERSION "\n" + bw::engine_version() + "\n");
		return 0;
	}
	launcher_log::open(user_folders::state());
	SingleInstance::Outcome outcome;
	std::unique_ptr<SingleInstance> instance = SingleInstance::claim(outcome, command_line::request_of(command));
	if (outcome == SingleInstance::Outcome::Raised) {
		launcher_log::write(command.verb == command_line::Verb::Start ? "another launcher runs: raised its window"
		                                                               : "another launcher runs: it did what this launch asked");
		return 0;
	}
	if (command.verb == command_line::Verb::Quit) {
		if (outcome == SingleInstance::Outcome::AfterAnother) {
			launcher_log::write("the running launcher ended as asked");
		} else {
			console::error("tarnwick_desktop: no launcher of this user runs\n");
		}
		return 0;
	}

	// Only the launcher that shows something reads its texts: a launch that hands its verb on does not.
	translations::load_for_user();
	bw::ApplicationSettings settings;
	bw::Result<bw::Application> initialized = bw::Application::initialize(settings);
	if (!initialized.ok()) bw::fatal_stop("called `Result::unwrap()` on an `Err` value: " + initialized.error().debug_string());
	bw::set_fatal_stop_observer(show_fatal_stop);

	static Launcher launcher;
	launcher.command = command;
	launcher.instance = instance.get();
	launcher.settings = Settings::load(user_folders::config() / "settings");
	if (auto program = bw::process::executable_path()) autostart::repair(*program);
	launcher.state_file = user_folders::config() / "window";
	launcher.placed = load_window_state(launcher.state_file);
	launcher.zoom = launcher.placed.zoom;
	bw::Runtime runtime = initialized.value().start();
	bw::ApplicationHandle app = runtime.app_handle();
	instance->on_raise_request([app](const command_line::Command& asked) { return raise_from_another_thread(app, launcher, asked); });
	termination::on_request([app] {
		launcher_log::write("asked to end: closing the window");
		end_launcher(app, launcher);
	});
	int exit_code = runtime.run_async([](bw::ApplicationHandle handle) { return startup(handle, launcher); });
	// The loop has ended: nothing answers on the GUI thread any more.
	instance->stop_listening();
	save_state(launcher);
	// The tray forgets the icon only when asked to.
	launcher.tray.reset();
	std::fflush(stdout);
	std::fflush(stderr);
	std::_Exit(exit_code);
}
