// The raw handle of a dialog's owner window, tagged with its platform.
#pragma once

#include <variant>

namespace bw::dialogs {

// A Win32 window: its HWND.
struct Win32WindowHandle {
	void* hwnd;
};

// A GTK window: its GtkWindow*.
struct GtkWindowHandle {
	void* window;
};

// Each platform uses only its own kind and ignores the others.
using RawWindowHandle = std::variant<Win32WindowHandle, GtkWindowHandle>;

} // namespace bw::dialogs
