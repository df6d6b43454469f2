// Browser windows over the stand-in WebView2 engine: its call log, the fixture every test uses, and
// building windows outside co_await expressions (g++ 12 destroys temporaries there twice).
#pragma once

#include "browser/builder/browser_window_builder.hpp"
#include "support/test_application.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bw::edge2_test {

std::vector<std::string> lines(const char* text);
// Every call the engine received, in order.
std::vector<std::string> call_log();
int count_calls(std::string_view prefix);
// How often the engine delivered an event whose trace line starts with the text.
int count_events(std::string_view prefix);

// The page bridge as the call log shows its text.
extern const std::string bridge_logged;

// Builds a window showing the URL (plus what configure sets) and yields it once announced.
BrowserWindowFuture open(ApplicationHandle app, Source source, const std::function<void(BrowserWindowBuilder&)>& configure = {});

// Frees a window made directly with BrowserWindowImpl::new_, as its owner would.
void free_window(bw_BrowserWindow* record);

class Edge2Test : public ::testing::Test {
protected:
	void SetUp() override;
	void TearDown() override;

	testing::TestApplication app;
};

} // namespace bw::edge2_test
