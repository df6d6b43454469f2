#include "cookie/completion.hpp"

#include <unordered_map>

namespace bw::cookie_detail {

namespace {

// Completions come on the GUI thread, the thread of the futures; no lock is needed.
thread_local std::unordered_map<uint64_t, PendingBase*> waiting;
thread_local uint64_t next_id = 1;

} // namespace

uint64_t add_pending(PendingBase* pending) {
	uint64_t id = next_id++;
	waiting.emplace(id, pending);
	return id;
}

void remove_pending(uint64_t id) { waiting.erase(id); }

PendingBase* find_pending(uint64_t id) {
	auto found = waiting.find(id);
	return found == waiting.end() ? nullptr : found->second;
}

std::size_t pending_count() { return waiting.size(); }

} // namespace bw::cookie_detail
