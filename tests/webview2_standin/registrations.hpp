// Event registrations of the engine's objects: a list of (token, handler) entries.
#pragma once

#include "engine.hpp"

#include <algorithm>

namespace standin {

// Calls handler for each registration in a snapshot that is still registered when its turn comes.
template <class Registrations, class Call>
void for_each_registered(const Registrations& registrations, Call call) {
	auto snapshot = registrations;
	for (auto& registration : snapshot) {
		auto still = std::find_if(registrations.begin(), registrations.end(), [&](auto& r) { return r.token == registration.token; });
		if (still != registrations.end()) call(registration.handler.get());
	}
}

template <class Registrations>
void unregister(Registrations& registrations, int64_t token) {
	auto found = std::find_if(registrations.begin(), registrations.end(), [&](auto& r) { return r.token == token; });
	if (found == registrations.end()) return;
	// The handler is released after it has left the list.
	auto handler = std::move(found->handler);
	registrations.erase(found);
}

// Registers a handler after asking it, as the engine does, for its own interface.
template <class Registrations, class Handler>
HRESULT add_registration(Registrations& registrations, Handler* handler, const IID& iid, const char* what, EventRegistrationToken* token) {
	if (handler == nullptr) return E_INVALIDARG;
	if (token == nullptr) return E_POINTER;
	auto queried = query_handler(handler, iid, what);
	if (!queried) return E_NOINTERFACE;
	token->value = Engine::get().next_token();
	registrations.push_back({token->value, std::move(queried)});
	return S_OK;
}

} // namespace standin
