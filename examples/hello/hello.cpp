// hello: a browser window on an inline page. Its button calls the program with invoke_extern; the
// program answers into the page with exec_js and reads values back with eval_js.
//
//   hello                    shows the window until it is closed
//   hello --self-test        clicks the button itself, prints what came back, closes the window
//   hello --self-test=call   the same, calling invoke_extern directly in place of the click
#include "application/application.hpp"
#include "browser/builder/browser_window_builder.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace {

using namespace std::chrono_literals;

constexpr std::string_view page = R"html(<!DOCTYPE html>
<html>
<head><meta charset="utf-8"><title>Hello</title></head>
<body style="font-family: sans-serif; margin: 2em">
<h1>Hello from bw</h1>
<p><button onclick="invoke_extern('clicked', ++clicks)">Say hello to the program</button></p>
<p id="answer">No answer yet.</p>
<script>var clicks = 0;</script>
</body>
</html>
)html";

enum class Mode { Interactive, SelfTestClick, SelfTestCall };

// Built outside the co_await expression: g++ 12 destroys temporaries of that expression twice.
bw::BrowserWindowFuture open_window(bw::ApplicationHandle app) {
	bw::BrowserWindowBuilder builder(bw::Source::Html{std::string(page)});
	builder->title("Hello");
	builder->size(640, 360);
	return bw::BrowserWindowBuilder::build_async(std::move(builder), app);
}

std::string describe(const bw::JsEvalResult& result) {
	if (const auto* error = std::get_if<bw::JsEvaluationError>(&result)) return "error: " + error->message;
	return std::get<bw::JsValue>(result).to_string();
}

// Runs the script in the page and prints what it evaluated to.
// A task keeps its arguments in its frame: they are taken by value.
bw::Task<> print_eval(bw::BrowserWindow window, std::string label, std::string script) {
	bw::EvalJsFuture evaluation = window->eval_js(script);
	bw::JsEvalResult result = co_await std::move(evaluation);
	std::printf("%s: %s\n", label.c_str(), describe(result).c_str());
}

bw::Task<> hello(bw::ApplicationHandle app, Mode mode) {
	bw::BrowserWindowFuture opening = open_window(app);
	bw::BrowserWindow window = co_await std::move(opening);
	window.window().show();

	// The handler outlives this task (the window keeps it until it is closed), so what it counts is
	// shared rather than a local of the task.
	auto answers = std::make_shared<int>(0);
	window.on_message().register_handler([answers](bw::BrowserWindowHandle handle, bw::MessageEventArgs message) {
		if (message.cmd != "clicked") return;
		*answers += 1;
		std::printf("clicked: %s\n", message.args.empty() ? "" : message.args[0].to_string().c_str());
		std::fflush(stdout);
		// A String value's display form is a quoted, escaped script literal.
		bw::JsValue text = bw::JsValue::string("Hello from C++, answer " + std::to_string(*answers));
		handle.exec_js("document.getElementById('answer').textContent = " + text.to_string());
	});
	// The window stays open after this task ends; closing it ends the program with 0.
	if (mode == Mode::Interactive) co_return;

	window->exec_js(mode == Mode::SelfTestClick ? "document.querySelector('button').click()" : R"(invoke_extern("clicked", 1))");
	for (int waited = 0; *answers == 0 && waited < 200; waited++) {
		bw::SleepFuture nap = app.sleep(50ms);
		co_await std::move(nap);
	}
	if (*answers == 0) {
		std::fprintf(stderr, "hello: the page's message did not arrive\n");
		app.exit(1);
		co_return;
	}
	// Scripts run in the order they were given: the answer is in the page by now.
	bw::Task<> answer = print_eval(window, "answer", "document.getElementById('answer').textContent");
	co_await std::move(answer);
	bw::Task<> value = print_eval(window, "value", "[1, 2]");
	co_await std::move(value);
	std::fflush(stdout);

	// What the close button does: the window drops its reference to itself. Once this task has
	// dropped its own, the window is freed, and the program ends with 0.
	window.window().impl().close();
}

} // namespace

int main(int argc, char** argv) {
	Mode mode = Mode::Interactive;
	if (argc == 2 && std::string_view(argv[1]) == "--self-test") mode = Mode::SelfTestClick;
	else if (argc == 2 && std::string_view(argv[1]) == "--self-test=call") mode = Mode::SelfTestCall;
	else if (argc != 1) {
		std::fprintf(stderr, "usage: hello [--self-test | --self-test=call]\n");
		return 2;
	}

	bw::Result<bw::Application> initialized = bw::Application::initialize();
	if (!initialized.ok()) {
		std::fprintf(stderr, "hello: %s\n", initialized.error().to_string().c_str());
		return 1;
	}
	bw::Runtime runtime = initialized.value().start();
	int exit_code = runtime.run_async([mode](bw::ApplicationHandle app) { return hello(app, mode); });
	// The application is never torn down: end the process with the loop's code as it is.
	std::fflush(stdout);
	std::_Exit(exit_code);
}
