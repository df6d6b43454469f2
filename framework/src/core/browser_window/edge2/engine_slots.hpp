// The engine's objects in a browser window record: each slot is a separately allocated cell holding
// one counted reference, or null while there is none.
#pragma once

#include "core/browser_window/edge2/webview2_abi.hpp"

#include <bw/browser_window.h>

namespace bw::edge2 {

inline ICoreWebView2Controller* controller_of(const bw_BrowserWindow* record) {
	return record->impl_.controller == nullptr ? nullptr : *static_cast<ICoreWebView2Controller**>(record->impl_.controller);
}

inline ICoreWebView2* webview_of(const bw_BrowserWindow* record) {
	return record->impl_.webview == nullptr ? nullptr : *static_cast<ICoreWebView2**>(record->impl_.webview);
}

// Stores a new reference in a new cell.
template <class Interface>
void fill_slot(void*& slot, Interface* object) {
	object->AddRef();
	slot = new Interface*(object);
}

// Empties the slot first, then drops its reference and frees the cell.
template <class Interface>
void release_slot(void*& slot) {
	auto* cell = static_cast<Interface**>(slot);
	if (cell == nullptr) return;
	slot = nullptr;
	Interface* object = *cell;
	delete cell;
	object->Release();
}

} // namespace bw::edge2
