#include "daemon_wait.hpp"

#include "address_probe.hpp"
#include "waiting_pages.hpp"

namespace tarnwick {

namespace {

// Navigates the window, if it still exists; false when it is gone.
bool navigate(const std::weak_ptr<bw::BrowserWindowOwner>& window, const std::string& url) {
	std::shared_ptr<bw::BrowserWindowOwner> owner = window.lock();
	if (!owner) return false;
	(void)(*owner)->navigate(url);
	return true;
}

} // namespace

bw::Task<> show_daemon_when_it_answers(bw::ApplicationHandle app, std::weak_ptr<bw::BrowserWindowOwner> window, DaemonAddress address,
                                       WaitTimes times) {
	const std::string starting = html_data_url(starting_page());
	if (!navigate(window, starting)) co_return;
	auto deadline = std::chrono::steady_clock::now() + times.give_up_after;
	for (;;) {
		AddressProbe probe(address.host, address.port);
		bool answered = co_await probe;
		if (window.expired()) co_return;
		if (answered) {
			navigate(window, address.url());
			co_return;
		}
		if (std::chrono::steady_clock::now() >= deadline) {
			const std::string given_up = html_data_url(not_answering_page(address.url(), static_cast<int>(times.give_up_after.count())));
			navigate(window, given_up);
			co_return;
		}
		co_await app.sleep(times.retry_every);
	}
}

void handle_retry_requests(const bw::BrowserWindow& window, DaemonAddress address, WaitTimes times) {
	std::weak_ptr<bw::BrowserWindowOwner> owner = window.owner();
	window.on_message().register_handler([owner, address, times](bw::BrowserWindowHandle handle, bw::MessageEventArgs args) {
		if (args.cmd != "retry") return;
		handle.app().spawn(show_daemon_when_it_answers(handle.app(), owner, address, times));
	});
}

} // namespace tarnwick
