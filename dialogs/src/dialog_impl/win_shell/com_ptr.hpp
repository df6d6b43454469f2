// An owned COM interface pointer and the thread's COM apartment for one dialog.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace bw::dialogs::impl::shell {

// Releases its interface when dropped.
template <class T>
class ComPtr {
public:
	ComPtr() = default;
	ComPtr(const ComPtr&) = delete;
	ComPtr& operator=(const ComPtr&) = delete;
	~ComPtr() { reset(); }

	T* get() const { return ptr_; }
	T* operator->() const { return ptr_; }
	// The place for an out-parameter; whatever was held is released first.
	T** put() {
		reset();
		return &ptr_;
	}
	void** put_void() { return reinterpret_cast<void**>(put()); }
	void reset() {
		if (ptr_ != nullptr) std::exchange(ptr_, nullptr)->Release();
	}

private:
	T* ptr_ = nullptr;
};

// Initialises COM for the calling thread as a single-threaded apartment and balances it when dropped.
class ComApartment {
public:
	ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
	ComApartment(const ComApartment&) = delete;
	ComApartment& operator=(const ComApartment&) = delete;
	// S_FALSE (already initialised on this thread) also takes a count that must be given back.
	~ComApartment() {
		if (SUCCEEDED(result_)) CoUninitialize();
	}

	HRESULT result() const { return result_; }

private:
	HRESULT result_;
};

} // namespace bw::dialogs::impl::shell
