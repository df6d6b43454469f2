#include "browser/builder/browser_window_builder.hpp"

#include "core/fatal.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <variant>

namespace bw {

namespace {

// A relative file is taken from the current directory as it is now: engines want absolute paths,
// and the directory may change before they load it. A path the system cannot complete stays as given.
Source with_absolute_file(Source source) {
	if (auto* file = std::get_if<Source::File>(&source.value)) {
		std::error_code error;
		std::filesystem::path absolute = std::filesystem::absolute(file->path, error);
		if (!error) file->path = std::move(absolute);
	}
	return source;
}

} // namespace

void browser_window_created_callback(BrowserWindowImpl browser, void* data) {
	std::unique_ptr<BrowserWindowBuilder::OnCreated> on_created(static_cast<BrowserWindowBuilder::OnCreated*>(data));
	(*on_created)(BrowserWindowHandle(browser.inner()));
}

void BrowserWindowBuilder::_build(BrowserWindowBuilder builder, ApplicationHandle app, OnCreated on_created) {
	const WindowBuilder& window = builder.window_;
	WindowImpl parent = window.parent_.value_or(WindowImpl());
	std::string title = window.title_.value_or("Browser Window");
	auto* callback_data = new OnCreated(std::move(on_created));
	bw_WindowOptions window_options = window.options();
	bw_BrowserWindowOptions browser_options{builder.dev_tools_ ? 1 : 0, bw_CStrSlice{0, ""}};
	BrowserWindowImpl::new_(app.impl(), parent, with_absolute_file(std::move(builder.source_)), title, window.width_, window.height_,
	                        window_options, browser_options, std::make_shared<const PageCapabilities>(std::move(builder.capabilities_)),
	                        browser_window_created_callback, callback_data);
}

BrowserWindowFuture BrowserWindowBuilder::build_async(BrowserWindowBuilder builder, ApplicationHandle app) {
	auto [sender, receiver] = oneshot::channel<BrowserWindowHandle>();
	auto shared_sender = std::make_shared<oneshot::Sender<BrowserWindowHandle>>(std::move(sender));
	_build(std::move(builder), app, [shared_sender](BrowserWindowHandle handle) {
		if (!shared_sender->send(handle)) fatal_stop("Unable to send browser handle back");
	});
	return BrowserWindowFuture(std::move(receiver));
}

Task<BrowserWindow> BrowserWindowBuilder::build(BrowserWindowBuilder builder, ApplicationHandle app) {
	co_return co_await build_async(std::move(builder), app);
}

BrowserWindow BrowserWindowFuture::take_output() {
	std::optional<BrowserWindowHandle> handle = receiver_.take_output();
	if (!handle) fatal_stop(std::string("called `Result::unwrap()` on an `Err` value: ") + oneshot::canceled_debug);
	return prepare_handle(*handle);
}

} // namespace bw
