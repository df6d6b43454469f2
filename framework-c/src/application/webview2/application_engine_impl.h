// WebView2 part of the application record: it holds nothing.
#pragma once

struct bw_ApplicationEngineImpl {
	int unused;
};
