#include "browser/browser_window.hpp"

#include "core/fatal.hpp"

namespace bw {

namespace {

// exec_js's callback: the outcome is dropped unread.
void eval_js_callback(BrowserWindowImpl, void*, JsEvalResult) {}

} // namespace

BrowserWindowHandle::BrowserWindowHandle(bw_BrowserWindow* record)
    : inner_(record), app_(ApplicationImpl(bw_Window_getApp(record->window))), window_(WindowImpl(record->window)),
      alive_(std::make_shared<std::atomic<bool>>(true)) {}

void BrowserWindowHandle::exec_js(std::string_view script) const { inner_.eval_js(script, eval_js_callback, nullptr); }

EvalJsFuture BrowserWindowHandle::eval_js(std::string_view script) const {
	auto state = std::make_shared<EvalJsFuture::State>();
	inner_.eval_js(script, EvalJsFuture::complete, new std::shared_ptr<EvalJsFuture::State>(state));
	return EvalJsFuture(state);
}

void EvalJsFuture::complete(BrowserWindowImpl, void* data, JsEvalResult result) {
	std::unique_ptr<std::shared_ptr<State>> state(static_cast<std::shared_ptr<State>*>(data));
	(*state)->result = std::move(result);
	if ((*state)->waker) (*state)->waker->wake();
}

BrowserWindowOwner::~BrowserWindowOwner() {
	// First: evaluations carried here from other threads from now on find the window gone.
	handle_.alive_->store(false);
	bw_BrowserWindow* record = handle_.inner().inner();
	handle_.inner().free();
	// May end the application when this was its last window.
	handle_.window().impl().free();
	bw_BrowserWindow_release(record);
}

namespace {

void register_kept(const std::weak_ptr<BrowserWindowOwner>& owner, std::shared_ptr<EventHandler> handler) {
	if (std::shared_ptr<BrowserWindowOwner> strong = owner.lock()) strong->keep_handler(handler);
	BrowserWindowImpl::register_message_handler(owner, std::move(handler));
}

bool closed_by_user(const BrowserWindowOwner& owner) { return bw_Window_getUserData(owner.handle().window().impl().inner()) == nullptr; }

} // namespace

void MessageEvent::register_handler(SyncMessageHandler handler) const { register_kept(owner_, std::make_shared<EventHandler>(std::move(handler))); }

void MessageEvent::register_handler(AsyncMessageHandler handler) const { register_kept(owner_, std::make_shared<EventHandler>(std::move(handler))); }

void BrowserWindowOwner::release_if_only_handlers_hold(std::shared_ptr<BrowserWindowOwner> self) {
	// Also guards against the references dropped below, which come back here.
	if (self->releasing_handlers_ || self->handlers_.empty()) return;
	self->releasing_handlers_ = true;
	// How many references the handlers hold shows as what copying them adds; the copies go at once.
	long total = self.use_count() - 1;
	long held_by_handlers = 0;
	{
		std::vector<EventHandler> copies;
		copies.reserve(self->handlers_.size());
		for (const std::shared_ptr<EventHandler>& handler : self->handlers_) copies.push_back(*handler);
		held_by_handlers = self.use_count() - 1 - total;
	}
	if (held_by_handlers == 0 || held_by_handlers != total) {
		self->releasing_handlers_ = false;
		return;
	}
	// Nobody else can reach the window: its handlers can never be called again. Emptied first, then
	// destroyed outside the owner, whose last reference goes with them.
	std::vector<EventHandler> closures;
	for (const std::shared_ptr<EventHandler>& handler : self->handlers_) closures.push_back(std::exchange(*handler, EventHandler()));
	self.reset();
	closures.clear();
}

BrowserWindow::~BrowserWindow() {
	if (owner_ && owner_.use_count() > 1 && closed_by_user(*owner_)) BrowserWindowOwner::release_if_only_handlers_hold(std::move(owner_));
}

UnsupportedEvent BrowserWindow::engine_event() const {
	{
		// The engines offer none of these events: the reference taken to ask is dropped on the way.
		std::weak_ptr<BrowserWindowOwner> owner = owner_;
	}
	fatal_stop("not implemented");
}

UnsupportedEvent BrowserWindow::on_address_changed() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_console_message() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_fullscreen_mode_changed() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_loading_progress_changed() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_navigation_end() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_navigation_start() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_page_title_changed() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_status_message() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_tooltip() const { engine_event(); }
UnsupportedEvent BrowserWindow::on_auth_credentials() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_certificate_error() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_download_progress() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_download_started() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_favicon_changed() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_file_dialog() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_key_press() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_key_pressed() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_scroll_offset_changed() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_select_client_certificate() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_start_dragging() const { fatal_stop("not implemented"); }
UnsupportedEvent BrowserWindow::on_text_selection_changed() const { fatal_stop("not implemented"); }

BrowserWindow prepare_handle(BrowserWindowHandle handle) {
	auto owner = std::make_shared<BrowserWindowOwner>(handle);
	handle.window().impl().set_user_data(new BrowserUserData{owner});
	return BrowserWindow(std::move(owner));
}

} // namespace bw

extern "C" void bw_Window_freeUserData(bw_Window* window) {
	auto* user_data = static_cast<bw::BrowserUserData*>(bw_Window_getUserData(window));
	if (user_data == nullptr) return;
	// Emptied first: dropping the reference may free the window record, which is not touched again.
	bw_Window_setUserData(window, nullptr);
	std::shared_ptr<bw::BrowserWindowOwner> owner = std::move(user_data->owner);
	delete user_data;
	if (owner.use_count() > 1) bw::BrowserWindowOwner::release_if_only_handlers_hold(std::move(owner));
}
