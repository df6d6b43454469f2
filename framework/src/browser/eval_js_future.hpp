// The future of BrowserWindowHandle::eval_js: completes once the engine reports the outcome.
#pragma once

#include "application/future.hpp"
#include "core/browser_window/browser_window_impl.hpp"

#include <memory>
#include <optional>

namespace bw {

class EvalJsFuture {
public:
	using Output = JsEvalResult;

	struct State {
		std::optional<JsEvalResult> result;
		std::optional<Waker> waker;
	};

	explicit EvalJsFuture(std::shared_ptr<State> state) : state_(std::move(state)) {}

	bool poll(const Waker& waker) {
		if (state_->result) return true;
		state_->waker = waker;
		return false;
	}
	JsEvalResult take_output() { return std::move(*state_->result); }

	// The engine's callback: its data is a heap copy of the state's pointer, released here.
	static void complete(BrowserWindowImpl browser, void* data, JsEvalResult result);

private:
	std::shared_ptr<State> state_;
};

} // namespace bw
