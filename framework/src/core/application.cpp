#include "core/application.hpp"

#include <memory>

namespace bw {

extern "C" void invocation_handler(bw_Application* app, void* dispatch_data) {
	// Freed also when the work ends in a failure that travels on.
	std::unique_ptr<DispatchData> box(static_cast<DispatchData*>(dispatch_data));
	box->work(ApplicationImpl(app), box->data);
}

Result<ApplicationImpl> ApplicationImpl::initialize(int argc, char** argv, const bw_ApplicationSettings& settings) {
	bw_Application* app = nullptr;
	bw_Err error = bw_Application_initialize(&app, argc, argv, &settings);
	if (error.code != 0) return Error(error);
	return ApplicationImpl(app);
}

int ApplicationImpl::run(Work on_ready, void* data) const {
	return bw_Application_run(inner_, invocation_handler, new DispatchData{on_ready, data});
}

bool ApplicationImpl::dispatch(Work work, void* data) const {
	auto box = std::make_unique<DispatchData>(DispatchData{work, data});
	if (!bw_Application_dispatch(inner_, invocation_handler, box.get())) return false;
	box.release();
	return true;
}

bool ApplicationImpl::dispatch_delayed(Work work, void* data, std::chrono::nanoseconds delay) const {
	auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(delay).count();
	auto box = std::make_unique<DispatchData>(DispatchData{work, data});
	if (!bw_Application_dispatchDelayed(inner_, invocation_handler, box.get(), milliseconds < 0 ? 0 : static_cast<uint64_t>(milliseconds)))
		return false;
	box.release();
	return true;
}

} // namespace bw
