// What one of the launcher's TCP probes costs (it asks whether the daemon still answers): one probe
// awaited by a task on the GUI thread (a thread of its own connects, then wakes the task), against
// the same connection made directly on the calling thread. The address listens in this process, as the
// daemon's does when it already runs.
#include "address_probe.hpp"

#include "application/application.hpp"

#include <benchmark/benchmark.h>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <bw/application.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// Accepts and drops every connection on a thread of its own, as the daemon's listener does (it
// reads on a thread per connection). On the IPv6 loopback address: each closed connection holds its
// ephemeral port in TIME_WAIT for a minute, and thousands of them over IPv4 would keep the daemon's
// port 127.0.0.1:37338 from being bound when it is among them.
struct Listener {
	asio::io_context io;
	tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::address_v6::loopback(), 0)};
	Listener() {
		std::thread([this] {
			for (;;) {
				tcp::socket socket(io);
				boost::system::error_code error;
				acceptor.accept(socket, error);
			}
		}).detach();
	}
	uint16_t port() const { return acceptor.local_endpoint().port(); }
};

Listener& listener() {
	static Listener instance;
	return instance;
}

void BM_AddressProbe_Awaited(benchmark::State& state) {
	bw_Application* app = nullptr;
	bw_ApplicationSettings settings{{0, nullptr}, 0, {0, nullptr}};
	bw_Err error = bw_Application_initialize(&app, 0, nullptr, &settings);
	if (error.code != 0) {
		std::fprintf(stderr, "address_probe_benchmark: cannot initialise the application (no display?)\n");
		std::exit(1);
	}
	bw_Err_free(&error);
	int code = bw_Application_run(
	    app,
	    [](bw_Application* raw, void* data) {
		    bw::ApplicationHandle handle{bw::ApplicationImpl(raw)};
		    handle.spawn([](bw::ApplicationHandle handle, benchmark::State& state) -> bw::Task<> {
			    bool all_answered = true;
			    for (auto _ : state) {
				    auto probe = tarnwick::probe(tarnwick::DaemonAddress{"::1", listener().port()}, std::chrono::milliseconds(500));
				    all_answered = (co_await std::move(probe)) && all_answered;
			    }
			    if (!all_answered) state.SkipWithError("a probe found nothing listening");
			    handle.exit(0);
		    }(handle, *static_cast<benchmark::State*>(data)));
	    },
	    &state);
	bw_Application_free(app);
	if (code != 0) state.SkipWithError("the application's loop failed");
}

void BM_Connect_Direct(benchmark::State& state) {
	asio::io_context io;
	for (auto _ : state) {
		tcp::socket socket(io);
		boost::system::error_code error;
		socket.connect(tcp::endpoint(asio::ip::address_v6::loopback(), listener().port()), error);
		if (error) state.SkipWithError("nothing listening");
	}
}

BENCHMARK(BM_Connect_Direct)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddressProbe_Awaited)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
