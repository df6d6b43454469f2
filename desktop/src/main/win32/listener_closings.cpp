#include "listener_closings.hpp"

#include <windows.h>

#include <algorithm>

namespace tarnwick {

// Windows has no notice of a closed listener: the watcher asks once a period.
struct ListenerClosings::Impl {
	HANDLE interrupted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

ListenerClosings::ListenerClosings(uint16_t) : impl_(std::make_unique<Impl>()) {}

ListenerClosings::~ListenerClosings() {
	if (impl_->interrupted != nullptr) CloseHandle(impl_->interrupted);
}

void ListenerClosings::begin() {}

bool ListenerClosings::told() const { return false; }

bool ListenerClosings::wait(std::chrono::milliseconds period, std::chrono::milliseconds longest) {
	period = std::min(period, longest);
	if (impl_->interrupted == nullptr) {
		Sleep(static_cast<DWORD>(period.count()));
		return true;
	}
	return WaitForSingleObject(impl_->interrupted, static_cast<DWORD>(period.count())) == WAIT_TIMEOUT;
}

void ListenerClosings::interrupt() {
	if (impl_->interrupted != nullptr) SetEvent(impl_->interrupted);
}

} // namespace tarnwick
