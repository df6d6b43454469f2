#include "application/application.hpp"

#include "core/fatal.hpp"
#include "core/process.hpp"
#include "core/string.hpp"

#include <string>
#include <vector>

namespace bw {

std::filesystem::path ApplicationSettings::default_resource_path() {
	auto executable = process::executable_path();
	if (!executable) fatal_stop("called `Result::unwrap()` on an `Err` value");
	return executable->parent_path() / "resources";
}

Result<Application> Application::initialize(const ApplicationSettings& settings) {
	std::vector<std::string> arguments = process::arguments();
	std::vector<char*> argv;
	for (std::string& argument : arguments) {
		if (argument.find('\0') != std::string::npos) fatal_stop("Unable to convert OsString into CString!");
		argv.push_back(argument.data());
	}

	// The converted texts stay alive until the lower layer returns; it keeps none of them.
	std::string engine_path;
	if (settings.engine_seperate_executable_path) {
		auto utf8 = process::path_to_utf8(*settings.engine_seperate_executable_path);
		if (!utf8) fatal_stop("called `Option::unwrap()` on a `None` value");
		engine_path = std::move(*utf8);
	}
	std::string resource_dir = settings.resource_dir ? process::path_to_utf8_lossy(*settings.resource_dir) : std::string();

	bw_ApplicationSettings lower{to_cstr_slice(engine_path), settings.remote_debugging_port.value_or(0), to_cstr_slice(resource_dir)};

	auto impl = ApplicationImpl::initialize(static_cast<int>(argv.size()), argv.data(), lower);
	if (!impl.ok()) return std::move(impl.error());
	return Application(impl.value());
}

int Runtime::_run(std::function<void(ApplicationHandle)> on_ready) {
	auto* box = new std::function<void(ApplicationHandle)>(std::move(on_ready));
	return impl_.run(
	    [](ApplicationImpl app, void* data) {
		    std::unique_ptr<std::function<void(ApplicationHandle)>> ready(static_cast<std::function<void(ApplicationHandle)>*>(data));
		    (*ready)(ApplicationHandle(app));
	    },
	    box);
}

} // namespace bw
