#include "listener_closings.hpp"

#include <windows.h>

#include <algorithm>

namespace tarnwick {

// Windows has no notice of a closed listener: the watcher asks once a period.
struct ListenerClosings::Impl {
	HANDLE interrupted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
	HANDLE woken = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

ListenerClosings::ListenerClosings(uint16_t) : impl_(std::make_unique<Impl>()) {}

ListenerClosings::~ListenerClosings() {
	if (impl_->interrupted != nullptr) CloseHandle(impl_->interrupted);
	if (impl_->woken != nullptr) CloseHandle(impl_->woken);
}

void ListenerClosings::begin() {}

bool ListenerClosings::told() const { return false; }

bool ListenerClosings::wait(std::chrono::milliseconds period, std::chrono::milliseconds longest) {
	period = std::min(period, longest);
	if (impl_->interrupted == nullptr) {
		Sleep(static_cast<DWORD>(period.count()));
		return true;
	}
	if (impl_->woken == nullptr) return WaitForSingleObject(impl_->interrupted, static_cast<DWORD>(period.count())) == WAIT_TIMEOUT;
	HANDLE events[2] = {impl_->interrupted, impl_->woken};
	return WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(period.count())) != WAIT_OBJECT_0;
}

void ListenerClosings::interrupt() {
	if (impl_->interrupted != nullptr) SetEvent(impl_->interrupted);
}

void ListenerClosings::wake() {
	if (impl_->woken != nullptr) SetEvent(impl_->woken);
}

} // namespace tarnwick
