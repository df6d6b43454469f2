#include "support/user_actions.hpp"

namespace bw::testing {

Task<bool> eventually(ApplicationHandle app, std::function<bool()> condition, std::chrono::milliseconds timeout) {
	auto deadline = std::chrono::steady_clock::now() + timeout;
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline) co_return false;
		co_await app.sleep(std::chrono::milliseconds(20));
	}
	co_return true;
}

} // namespace bw::testing
