// WebKitGTK part of the application record.
#pragma once

struct bw_ApplicationEngineImpl {
	int unused;
};
