// What the GTK dialogs share: GTK's readiness, the owner window and texts fit for labels.
#pragma once

#include "window_handle.hpp"

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <string_view>

namespace bw::dialogs::impl {

// The call named when GTK cannot start (no display).
inline constexpr const char* gtk_init_method = "gtk_init_check";

// Initialises GTK unless the application already has; false without a display.
inline bool gtk_ready() { return gtk_init_check(nullptr, nullptr); }

// Only a GTK handle to a GtkWindow counts.
GtkWindow* owner_window(const std::optional<RawWindowHandle>& owner);

// The text up to its first NUL with ill-formed UTF-8 replaced, as GTK labels need valid UTF-8.
std::string display_text(std::string_view text);

} // namespace bw::dialogs::impl
