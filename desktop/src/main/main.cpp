// tarnwick_desktop: makes sure the Tarnwick daemon runs, then shows its web interface in a window.
#include "daemon/daemon.hpp"
#include "daemon_wait.hpp"
#include "address_probe.hpp"

#include "application/application.hpp"
#include "browser/builder/browser_window_builder.hpp"
#include "core/fatal.hpp"
#include "message.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnwick {

namespace {

const DaemonAddress daemon_address{"127.0.0.1", 37338};

// Builds the window outside the awaiting expression (g++ 12 mishandles temporaries there).
bw::BrowserWindowFuture build_window(bw::ApplicationHandle app) {
	bw::BrowserWindowBuilder builder(bw::Source::Url{daemon_address.url()});
	builder.dev_tools(true);
	builder->title("Tarnwick");
	builder->size(1024, 768);
	return bw::BrowserWindowBuilder::build_async(std::move(builder), app);
}

bw::Task<> startup(bw::ApplicationHandle app) {
	daemon::Status status = daemon::ensure_running();
	if (!status.ok()) {
		std::string text = "Unable to spawn the Tarnwick daemon: " + status.error().to_string();
		// Also for whoever started the program from a terminal.
		std::fprintf(stderr, "%s\n", text.c_str());
		auto shown = bw::dialogs::MessageDialog::create()
		                 .set_title("Tarnwick Error")
		                 .set_text(text)
		                 .set_type(bw::dialogs::MessageType::Error)
		                 .show_alert();
		if (!shown.ok()) bw::fatal_stop("unable to show error dialog: " + shown.error().debug_string());
		app.exit(1);
		co_return;
	}

	// Whether the daemon listens before the first navigation: a daemon just started usually does not.
	AddressProbe before(daemon_address.host, daemon_address.port);
	bool listening = co_await before;

	bw::BrowserWindowFuture building = build_window(app);
	bw::BrowserWindow window = co_await std::move(building);
	window.window().show();

	WaitTimes times;
	handle_retry_requests(window, daemon_address, times);
	if (!listening) app.spawn(show_daemon_when_it_answers(app, window.owner(), daemon_address, times));
}

// A GUI program has no console: a fatal stop is also shown in a box.
void show_fatal_stop(std::string_view text) {
	(void)bw::dialogs::MessageDialog::create().set_title("Tarnwick Error").set_text(text).set_type(bw::dialogs::MessageType::Error).show_alert();
}

} // namespace

} // namespace tarnwick

int main() {
	bw::ApplicationSettings settings;
	bw::Result<bw::Application> initialized = bw::Application::initialize(settings);
	if (!initialized.ok()) bw::fatal_stop("called `Result::unwrap()` on an `Err` value: " + initialized.error().debug_string());
	bw::set_fatal_stop_observer(tarnwick::show_fatal_stop);
	bw::Runtime runtime = initialized.value().start();
	int exit_code = runtime.run_async([](bw::ApplicationHandle app) { return tarnwick::startup(app); });
	std::fflush(stdout);
	std::fflush(stderr);
	std::_Exit(exit_code);
}
