// Scripts the program runs in the page and messages the page sends to the program.
#include "edge2_support.hpp"
#include "standin_control.h"
#include "support/user_actions.hpp"

#include <thread>

namespace bw::edge2_test {
namespace {

using testing::eventually;

std::string outcome(const JsEvalResult& result) {
	if (const auto* error = std::get_if<JsEvaluationError>(&result)) return "error: " + error->message;
	return std::get<JsValue>(result).to_string();
}

// One evaluation through the seam itself: when and where its callback ran.
struct Evaluation {
	int calls = 0;
	DWORD thread = 0;
	std::string outcome;
};

void record_evaluation(BrowserWindowImpl, void* data, JsEvalResult result) {
	auto* evaluation = static_cast<Evaluation*>(data);
	evaluation->calls++;
	evaluation->thread = GetCurrentThreadId();
	evaluation->outcome = outcome(result);
}

class Scripts : public Edge2Test {};

TEST_F(Scripts, CompleteWithTheirValueOrAnErrorExactlyOnce) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);

		JsEvalResult null = co_await browser->eval_js("null");
		EXPECT_TRUE(std::holds_alternative<JsValue>(null) && std::get<JsValue>(null).kind() == JsValue::Kind::Null) << outcome(null);
		EXPECT_EQ(outcome(co_await browser->eval_js("{\"a\": [1, true, \"say \\\"hi\\\"\"]}")), "{\"a\":[1,true,\"say \\\"hi\\\"\"]}");
		// A trailing NUL ends the text; any other NUL refuses the script before the engine sees it.
		EXPECT_EQ(outcome(co_await browser->eval_js(std::string("7\0", 2))), "7");
		int executed = count_calls("ExecuteScriptWithResult(");
		std::string with_nul = outcome(co_await browser->eval_js(std::string("1;\0 2", 5)));
		EXPECT_TRUE(with_nul.starts_with("error: unable to execute script: Unhandled win32 hresult error [0x57]: ")) << with_nul;
		EXPECT_EQ(count_calls("ExecuteScriptWithResult("), executed);

		// The engine refuses the script, or reports that it failed.
		StandIn_FailStepOnce("ExecuteScriptWithResult", E_ACCESSDENIED);
		std::string refused = outcome(co_await browser->eval_js("1"));
		EXPECT_TRUE(refused.starts_with("error: unable to execute script: Unhandled win32 hresult error [0x5]: ")) << refused;
		StandIn_FailStepOnce("ExecuteScriptWithResult.completion", E_ABORT);
		std::string aborted = outcome(co_await browser->eval_js("2"));
		EXPECT_TRUE(aborted.starts_with("error: unable to execute script: ")) << aborted;
		EXPECT_NE(aborted.find("0x80004004"), std::string::npos) << aborted;
		EXPECT_EQ(outcome(co_await browser->eval_js("3")), "3");

		// Never from inside the call, also when the script cannot run; once in every case.
		Evaluation fine, refused_at_once;
		browser->inner().eval_js("4", record_evaluation, &fine);
		browser->inner().eval_js(std::string("\0\0", 2), record_evaluation, &refused_at_once);
		EXPECT_EQ(fine.calls + refused_at_once.calls, 0);
		EXPECT_TRUE(co_await eventually(app, [&] { return fine.calls == 1 && refused_at_once.calls == 1; }));
		co_await app.sleep(std::chrono::milliseconds(50));
		EXPECT_EQ(fine.calls, 1);
		EXPECT_EQ(refused_at_once.calls, 1);
		EXPECT_EQ(fine.outcome, "4");

		// From another thread the work is carried to the GUI thread.
		Evaluation carried;
		BrowserWindowHandle handle = browser.handle();
		std::thread([handle, &carried] { handle.eval_js_threadsafe("[true]", record_evaluation, &carried); }).join();
		EXPECT_TRUE(co_await eventually(app, [&] { return carried.calls == 1; }));
		EXPECT_EQ(carried.thread, GetCurrentThreadId());
		EXPECT_EQ(carried.outcome, "[true]");

		browser->exec_js("5");
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("ExecuteScriptWithResult completed 0x00000000 5") == 1; }));

		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

TEST_F(Scripts, AWindowFreedMeanwhileStillCompletesEveryEvaluation) {
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		std::optional<BrowserWindow> browser = co_await std::move(pending);
		// Started, then the view goes before the engine completes it.
		EvalJsFuture dropped = (*browser)->eval_js("1");
		// On its way from another thread when the window is freed.
		Evaluation late;
		BrowserWindowHandle handle = browser->handle();
		std::thread([handle, &late] { handle.eval_js_threadsafe("2", record_evaluation, &late); }).join();

		browser->window().impl().close();
		browser.reset();
		EXPECT_EQ(StandIn_LiveObjects(), 0) << StandIn_LiveObjectList();
		EXPECT_EQ(outcome(co_await std::move(dropped)), "error: unable to execute script: the engine dropped it without completing it");
		EXPECT_TRUE(co_await eventually(app, [&] { return late.calls == 1; }));
		EXPECT_EQ(late.outcome, "error: unable to execute script: the browser window was freed");
	}),
	          0);
}

// A value, undefined or a throw, on a runtime with ExecuteScriptWithResult and on an older one.
class ScriptOutcomes : public Edge2Test, public ::testing::WithParamInterface<bool> {};

std::string shown(const JsEvalResult& result) {
	if (const auto* error = std::get_if<JsEvaluationError>(&result)) return "error: " + error->message;
	return std::get<JsValue>(result).to_debug_string();
}

TEST_P(ScriptOutcomes, AThrowIsAnErrorAndUndefinedIsUndefined) {
	bool older_runtime = GetParam();
	if (older_runtime) StandIn_FailStep("QueryInterface.ICoreWebView2_21", E_NOINTERFACE);
	EXPECT_EQ(app.run_main([](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);
		EXPECT_EQ(shown(co_await browser->eval_js("null")), "Null");
		EXPECT_EQ(shown(co_await browser->eval_js("undefined")), "Undefined");
		EXPECT_EQ(shown(co_await browser->eval_js("")), "Undefined");
		EXPECT_EQ(shown(co_await browser->eval_js("invoke_extern(\"x\")")), "Undefined");
		EXPECT_EQ(shown(co_await browser->eval_js("[1, \"a\\\"\"]")), "Array([Number(1), String(\"a\\\"\")])");
		EXPECT_EQ(shown(co_await browser->eval_js("throw new TypeError(\"bad\")")), "error: TypeError: bad");
		EXPECT_EQ(shown(co_await browser->eval_js("throw null")).substr(0, 7), "error: ");
		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
	EXPECT_EQ(count_calls("ExecuteScriptWithResult("), older_runtime ? 0 : 7);
	EXPECT_EQ(count_calls("ExecuteScript("), older_runtime ? 8 : 1) << "the bridge's and, on an older runtime, every evaluation";
}

INSTANTIATE_TEST_SUITE_P(Runtimes, ScriptOutcomes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithoutExecuteScriptWithResult" : "WithExecuteScriptWithResult"; });

class PageMessages : public Edge2Test {};

TEST_F(PageMessages, ArriveAsCommandAndArgumentsFromTheirDocumentAlsoAfterThePageNavigatesByItself) {
	std::vector<std::string> seen;
	std::vector<std::string> senders;
	EXPECT_EQ(app.run_main([&](ApplicationHandle app) -> Task<> {
		BrowserWindowFuture pending = open(app, Source::Url{"https://example.test/"});
		BrowserWindow browser = co_await std::move(pending);
		browser.on_message().register_handler([&](BrowserWindowHandle handle, MessageEventArgs args) {
			EXPECT_EQ(handle.inner(), browser->inner());
			std::string line = args.cmd;
			for (const JsValue& arg : args.args) line += "|" + arg.to_string();
			seen.push_back(line);
			senders.push_back(args.source + " " + args.origin);
		});

		EXPECT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"open\", 1, true)"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[5, \"x\"]"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[\"say \\\"hi\\\"\"]"));
		// Not an array, an empty one, not JSON, not valid UTF-16: each ignored on its own.
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"{\"a\": 1}"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[]"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[1,"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[\"\xD800\"]"));
		EXPECT_TRUE(StandIn_PostWebMessageAsJson(L"[\"after\"]"));
		EXPECT_TRUE(co_await eventually(app, [&] { return seen.size() >= 4; }));
		EXPECT_EQ(seen, (std::vector<std::string>{"open|1|true", "5|\"x\"", "say \"hi\"", "after"}));

		EXPECT_EQ(senders.front(), "https://example.test/ https://example.test");

		// The new document has the bridge too, and its own address.
		EXPECT_TRUE(StandIn_NavigateFromPage(L"https://example.test:8443/next"));
		EXPECT_TRUE(co_await eventually(app, [] { return count_events("NavigationCompleted id=2") == 1; }));
		EXPECT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"again\", {\"n\": null})"));
		EXPECT_TRUE(co_await eventually(app, [&] { return seen.size() == 5; }));
		EXPECT_EQ(seen.back(), "again|{\"n\":null}");
		EXPECT_EQ(senders.back(), "https://example.test:8443/next https://example.test:8443");

		// An asynchronous handler runs as a task of the application.
		bool async_ran = false;
		browser.on_message().register_handler([&](BrowserWindow window, MessageEventArgs args) -> Task<> {
			co_await window.app_handle().sleep(std::chrono::milliseconds(10));
			async_ran = args.cmd == "later";
		});
		EXPECT_TRUE(StandIn_RunPageScript(L"invoke_extern(\"later\")"));
		EXPECT_TRUE(co_await eventually(app, [&] { return async_ran; }));

		browser.window().show();
		testing::user_close(browser.window().impl().inner());
	}),
	          0);
}

} // namespace
} // namespace bw::edge2_test
