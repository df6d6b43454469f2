// Script evaluation asked for from any thread: carried to the GUI thread with what the calling
// thread was given, so nothing of the window is read before the call arrives there.
#include "core/browser_window/browser_window_impl.hpp"

#include <memory>
#include <string>

namespace bw {

namespace {

constexpr const char* window_freed = "unable to execute script: the browser window was freed";
constexpr const char* loop_ended = "unable to execute script: the application no longer runs";

struct CrossThreadEvaluation {
	CrossThreadBrowser target;
	std::string script;
	BrowserWindowImpl::EvalJsCallback callback;
	void* callback_data;
};

void evaluate_on_gui_thread(ApplicationImpl, void* data) {
	std::unique_ptr<CrossThreadEvaluation> call(static_cast<CrossThreadEvaluation*>(data));
	// The owner clears the flag on this thread before it frees the window: read here, it cannot change
	// until eval_js has handed the script to the engine.
	if (!call->target.alive->load()) {
		call->callback(call->target.browser, call->callback_data, JsEvaluationError{window_freed});
		return;
	}
	call->target.browser.eval_js(call->script, call->callback, call->callback_data);
}

} // namespace

void BrowserWindowImpl::eval_js_threadsafe(const CrossThreadBrowser& target, std::string_view script, EvalJsCallback callback,
                                           void* callback_data) {
	auto* call = new CrossThreadEvaluation{target, std::string(script), callback, callback_data};
	if (target.app.dispatch(evaluate_on_gui_thread, call)) return;
	// Refused: the loop has ended. The callback still learns the outcome, so that it can free its data.
	std::unique_ptr<CrossThreadEvaluation> refused(call);
	callback(target.browser, callback_data, JsEvaluationError{loop_ended});
}

} // namespace bw
