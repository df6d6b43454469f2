// The owner of a dialog on Win32: only a Win32 handle counts.
#pragma once

#include "window_handle.hpp"

#include <windows.h>

#include <optional>

namespace bw::dialogs::impl {

inline HWND owner_hwnd(const std::optional<RawWindowHandle>& owner) {
	if (!owner) return nullptr;
	const auto* win32 = std::get_if<Win32WindowHandle>(&*owner);
	return win32 != nullptr ? static_cast<HWND>(win32->hwnd) : nullptr;
}

} // namespace bw::dialogs::impl
