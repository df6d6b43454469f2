#include "edge2_support.hpp"

#include "standin_control.h"

#include <algorithm>

namespace bw::edge2_test {

const std::string bridge_logged = "\\n\\t\\t\\t\\t\\t\\tfunction invoke_extern(...args) {\\n\\t\\t\\t\\t\\t\\t\\t"
                                  "window.chrome.webview.postMessage([].slice.call(args));\\n\\t\\t\\t\\t\\t\\t}\\n\\t\\t\\t\\t\\t";

std::vector<std::string> lines(const char* text) {
	std::vector<std::string> result;
	std::string line;
	for (const char* c = text; *c != '\0'; ++c) {
		if (*c == '\n') {
			result.push_back(line);
			line.clear();
		} else {
			line += *c;
		}
	}
	return result;
}

std::vector<std::string> call_log() { return lines(StandIn_CallLog()); }

namespace {

int count_prefixed(const std::vector<std::string>& all, std::string_view prefix) {
	return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
}

} // namespace

int count_calls(std::string_view prefix) { return count_prefixed(call_log(), prefix); }

int count_events(std::string_view prefix) { return count_prefixed(lines(StandIn_Trace()), "> " + std::string(prefix)); }

BrowserWindowFuture open(ApplicationHandle app, Source source, const std::function<void(BrowserWindowBuilder&)>& configure) {
	BrowserWindowBuilder builder(std::move(source));
	if (configure) configure(builder);
	return BrowserWindowBuilder::build_async(std::move(builder), app);
}

void free_window(bw_BrowserWindow* record) {
	BrowserWindowImpl(record).free();
	bw_Window_free(record->window);
	bw_BrowserWindow_release(record);
}

void Edge2Test::SetUp() {
	StandIn_Reset();
	// Creation failures end the process; nobody would answer their error box here.
	SetEnvironmentVariableW(L"BW_NO_ERROR_BOX", L"1");
}

void Edge2Test::TearDown() { EXPECT_STREQ(StandIn_Violations(), ""); }

} // namespace bw::edge2_test
