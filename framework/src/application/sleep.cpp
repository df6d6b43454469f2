#include "application/sleep.hpp"

#include <optional>

namespace bw {

struct SleepFuture::State {
	bool elapsed = false;
	std::optional<Waker> waker;
};

namespace {

void on_elapsed(ApplicationImpl, void* data) {
	std::unique_ptr<std::shared_ptr<SleepFuture::State>> state(static_cast<std::shared_ptr<SleepFuture::State>*>(data));
	(*state)->elapsed = true;
	if ((*state)->waker) (*state)->waker->wake();
}

} // namespace

bool SleepFuture::poll(const Waker& waker) {
	if (state_ == nullptr) {
		state_ = std::make_shared<State>();
		auto timer_state = std::make_unique<std::shared_ptr<State>>(state_);
		if (app_.dispatch_delayed(on_elapsed, timer_state.get(), duration_)) timer_state.release();
	}
	state_->waker = waker;
	return state_->elapsed;
}

} // namespace bw
