// Page messages, shared by the engine bindings: from the JSON array the page posted to the
// handler the program registered.
#pragma once

#include "core/browser_window/browser_window_impl.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace bw {

// The command and arguments of a posted array: the first element gives the command (a string's own
// text, any other value's display form), the others are the arguments. Nothing for a value that is
// not an array, or an empty one.
std::optional<MessageEventArgs> message_event_args(JsValue message);

// Calls the handler when the owner still exists: a synchronous one with the window's handle, an
// asynchronous one with a counted reference, its task spawned on the application. GUI thread.
void deliver_message(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, MessageEventArgs args);

// The origin of an address as pages know it: "scheme://host[:port]" in lower case, without the
// scheme's default port; "null" for an address without one (data:, about:, file:, unreadable).
std::string origin_of(std::string_view url);

// Both at once for a JSON text the engine delivered from the document at source; a message that
// cannot be read is ignored.
void deliver_message_json(const std::weak_ptr<BrowserWindowOwner>& owner, const EventHandler& handler, std::string_view json,
                          std::string_view source);

} // namespace bw
