#include "core/browser_window/message_delivery.hpp"

#include "browser/browser_window.hpp"

namespace bw {

std::optional<MessageEventArgs> message_event_args(JsValue message) {
	JsArray* items = message.as_array();
	if (items == nullptr || items->empty()) return std::nullopt;
	MessageEventArgs args;
	JsValue& first = items->front();
	if (const std::string* text = first.as_string())
		args.cmd = *text;
	else
		args.cmd = first.to_string();
	args.args.reserve(items->size() - 1);
	for (std::size_t i = 1; i < items->size(); i++) args.args.push_back(std::move((*items)[i]));
	return args;
}

void deliver_message(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, MessageEventArgs args) {
	std::shared_ptr<BrowserWindowOwner> strong = owner.lock();
	if (!strong) return;
	if (const auto* sync = std::get_if<SyncMessageHandler>(&handler)) {
		// Empty once released with its window.
		if (*sync) (*sync)(strong->handle(), std::move(args));
		return;
	}
	const AsyncMessageHandler& async = std::get<AsyncMessageHandler>(handler);
	if (!async) return;
	ApplicationHandle app = strong->handle().app();
	app.spawn(async(BrowserWindow(strong), std::move(args)));
}

void deliver_message_json(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, std::string_view json) {
	if (owner.expired()) return;
	std::optional<MessageEventArgs> args = message_event_args(JsValue::from_json(json));
	if (args) deliver_message(owner, handler, std::move(*args));
}

} // namespace bw
