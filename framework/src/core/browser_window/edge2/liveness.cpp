#include "core/browser_window/edge2/liveness.hpp"

#include <map>
#include <mutex>

namespace bw::edge2 {

namespace {

// Keyed by address: a new record at a freed one's address gets a token of its own.
struct Registry {
	std::mutex mutex;
	std::map<bw_BrowserWindow*, std::shared_ptr<Liveness>> tokens;
};

Registry& registry() {
	static Registry instance;
	return instance;
}

} // namespace

std::shared_ptr<Liveness> liveness_begin(bw_BrowserWindow* record, std::shared_ptr<const PageCapabilities> capabilities) {
	auto token = std::make_shared<Liveness>();
	token->capabilities = capabilities ? std::move(capabilities) : std::make_shared<const PageCapabilities>();
	std::lock_guard lock(registry().mutex);
	registry().tokens[record] = token;
	return token;
}

std::shared_ptr<Liveness> liveness_of(bw_BrowserWindow* record) {
	{
		std::lock_guard lock(registry().mutex);
		auto found = registry().tokens.find(record);
		if (found != registry().tokens.end()) return found->second;
	}
	auto dead = std::make_shared<Liveness>();
	dead->alive = false;
	dead->capabilities = std::make_shared<const PageCapabilities>();
	return dead;
}

void liveness_end(bw_BrowserWindow* record) {
	std::shared_ptr<Liveness> token;
	{
		std::lock_guard lock(registry().mutex);
		auto found = registry().tokens.find(record);
		if (found == registry().tokens.end()) return;
		token = std::move(found->second);
		registry().tokens.erase(found);
	}
	token->alive = false;
}

} // namespace bw::edge2
