// The COM objects this binding hands to the engine: reference counting and QueryInterface for one
// interface. The creator holds the first reference.
#pragma once

#include "core/browser_window/edge2/webview2_abi.hpp"

#include <atomic>

namespace bw::edge2 {

template <class Interface, const IID& interface_iid>
class ComHandler : public Interface {
public:
	ComHandler() = default;
	ComHandler(const ComHandler&) = delete;
	ComHandler& operator=(const ComHandler&) = delete;

	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
		if (out == nullptr) return E_POINTER;
		if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, interface_iid)) {
			*out = static_cast<Interface*>(this);
			AddRef();
			return S_OK;
		}
		*out = nullptr;
		return E_NOINTERFACE;
	}
	ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
	ULONG STDMETHODCALLTYPE Release() override {
		ULONG left = --refs_;
		if (left == 0) delete this;
		return left;
	}

protected:
	virtual ~ComHandler() = default;

private:
	std::atomic<ULONG> refs_{1};
};

// Holds a handler alive for the length of a scope: the code an Invoke calls may drop the engine's
// last reference to the handler (closing the window releases the view and its handlers).
class KeepAlive {
public:
	explicit KeepAlive(IUnknown* object) : object_(object) { object_->AddRef(); }
	KeepAlive(const KeepAlive&) = delete;
	KeepAlive& operator=(const KeepAlive&) = delete;
	~KeepAlive() { object_->Release(); }

private:
	IUnknown* object_;
};

} // namespace bw::edge2
