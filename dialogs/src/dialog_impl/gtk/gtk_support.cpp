#include "dialog_impl/gtk/gtk_support.hpp"

#include "core/utf8.hpp"

namespace bw::dialogs::impl {

GtkWindow* owner_window(const std::optional<RawWindowHandle>& owner) {
	if (!owner) return nullptr;
	const auto* gtk = std::get_if<GtkWindowHandle>(&*owner);
	if (gtk == nullptr || gtk->window == nullptr || !GTK_IS_WINDOW(gtk->window)) return nullptr;
	return GTK_WINDOW(gtk->window);
}

std::string display_text(std::string_view text) { return utf8::replace_invalid(text.substr(0, text.find('\0'))); }

} // namespace bw::dialogs::impl
