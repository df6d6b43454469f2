// tarnwick_desktop: makes sure the Tarnwick daemon runs, shows its web interface in a window, and
// keeps it there: one launcher per user session, the daemon watched and restarted, the window's
// size and place remembered.
#include "daemon/daemon.hpp"
#include "launcher_log.hpp"
#include "native_window.hpp"
#include "session.hpp"
#include "single_instance.hpp"
#include "termination.hpp"
#include "user_folders.hpp"
#include "window_state.hpp"

#include "application/application.hpp"
#include "browser/builder/browser_window_builder.hpp"
#include "core/fatal.hpp"
#include "message.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

namespace tarnwick {

namespace {

const DaemonAddress daemon_address{"127.0.0.1", 37338};

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
};

// Later launches are no longer raised but wait for this one to end. GUI thread.
void begin_closing(Launcher& launcher) {
	if (launcher.closing) return;
	launcher.closing = true;
	if (launcher.instance != nullptr) launcher.instance->stop_listening();
}

// What a later launch is told. GUI thread.
SingleInstance::Answer raise_window(Launcher& launcher) {
	auto owner = launcher.window.lock();
	if (!owner && launcher.built) begin_closing(launcher);
	if (launcher.closing) return SingleInstance::Answer::Closing;
	if (!owner) return SingleInstance::Answer::NotYet;
	return native_window::raise((*owner)->window()) ? SingleInstance::Answer::Raised : SingleInstance::Answer::NotYet;
}

// Asks the GUI thread, within the limit a later launch waits for its answer.
SingleInstance::Answer raise_from_another_thread(bw::ApplicationHandle app, Launcher& launcher) {
	auto answer = std::make_shared<std::promise<SingleInstance::Answer>>();
	std::future<SingleInstance::Answer> answered = answer->get_future();
	if (!app.dispatch([answer, &launcher] { answer->set_value(raise_window(launcher)); })) return SingleInstance::Answer::Closing;
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
	std::string text = "Unable to spawn the Tarnwick daemon: " + error.to_string();
	launcher_log::write(text);
	auto shown = bw::dialogs::MessageDialog::create().set_title("Tarnwick Error").set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
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
	app.spawn(launcher.session->run(window));
	native_window::restore_maximized(window.window(), launcher.placed);
}

// A GUI program has no console: a fatal stop is also shown in a box.
void show_fatal_stop(std::string_view text) {
	(void)bw::dialogs::MessageDialog::create().set_title("Tarnwick Error").set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
}

} // namespace

} // namespace tarnwick

int main() {
	using namespace tarnwick;
	launcher_log::open(user_folders::state());
	SingleInstance::Outcome outcome;
	std::unique_ptr<SingleInstance> instance = SingleInstance::claim(outcome);
	if (outcome == SingleInstance::Outcome::Raised) {
		launcher_log::write("another launcher runs: raised its window");
		return 0;
	}

	bw::ApplicationSettings settings;
	bw::Result<bw::Application> initialized = bw::Application::initialize(settings);
	if (!initialized.ok()) bw::fatal_stop("called `Result::unwrap()` on an `Err` value: " + initialized.error().debug_string());
	bw::set_fatal_stop_observer(show_fatal_stop);

	static Launcher launcher;
	launcher.instance = instance.get();
	launcher.state_file = user_folders::config() / "window";
	launcher.placed = load_window_state(launcher.state_file);
	launcher.zoom = launcher.placed.zoom;
	bw::Runtime runtime = initialized.value().start();
	bw::ApplicationHandle app = runtime.app_handle();
	instance->on_raise_request([app] { return raise_from_another_thread(app, launcher); });
	termination::on_request([app] {
		launcher_log::write("asked to end: closing the window");
		begin_closing(launcher);
		if (!launcher.session || !launcher.session->close()) app.exit(0);
	});
	int exit_code = runtime.run_async([](bw::ApplicationHandle handle) { return startup(handle, launcher); });
	// The loop has ended: nothing answers on the GUI thread any more.
	instance->stop_listening();
	save_state(launcher);
	std::fflush(stdout);
	std::fflush(stderr);
	std::_Exit(exit_code);
}
