// Reference counting for the engine's objects. Misuse (a call on a released object, a release too
// many, a call from another thread) is recorded as a violation instead of crashing: a released
// object's memory stays valid until the engine is reset.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

namespace standin {

class Object {
public:
	Object(const Object&) = delete;
	Object& operator=(const Object&) = delete;
	virtual ~Object() = default;

	const char* kind() const { return kind_; }
	uint64_t serial() const { return serial_; }
	ULONG refs() const { return refs_.load(); }
	bool dead() const { return dead_.load(); }

protected:
	// Starts with one reference, owned by the creator.
	explicit Object(const char* kind);

	ULONG add_ref();
	ULONG release();
	// S_OK when the method may run; otherwise records why not and returns the engine's error for it.
	HRESULT enter(const char* method) const;
	// Runs once, when the last reference goes: drop what the object holds.
	virtual void on_final_release() {}

private:
	const char* kind_;
	uint64_t serial_;
	DWORD thread_;
	std::atomic<ULONG> refs_{1};
	std::atomic<bool> dead_{false};
};

template <class Interface, const IID& interface_iid>
class ComObject : public Interface, public Object {
public:
	HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
		if (out == nullptr) return E_POINTER;
		if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, interface_iid)) {
			*out = static_cast<Interface*>(this);
			add_ref();
			return S_OK;
		}
		*out = nullptr;
		return E_NOINTERFACE;
	}
	ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
	ULONG STDMETHODCALLTYPE Release() override { return release(); }

protected:
	explicit ComObject(const char* kind) : Object(kind) {}
};

// One counted reference to a COM object.
template <class T>
class Ref {
public:
	Ref() = default;
	Ref(const Ref& other) : ptr_(other.ptr_) {
		if (ptr_ != nullptr) ptr_->AddRef();
	}
	Ref(Ref&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
	Ref& operator=(Ref other) noexcept {
		std::swap(ptr_, other.ptr_);
		return *this;
	}
	~Ref() { reset(); }

	// Takes over a reference the caller owns.
	static Ref adopt(T* ptr) {
		Ref ref;
		ref.ptr_ = ptr;
		return ref;
	}
	// Takes a new reference.
	static Ref share(T* ptr) {
		if (ptr != nullptr) ptr->AddRef();
		return adopt(ptr);
	}

	T* get() const { return ptr_; }
	T* operator->() const { return ptr_; }
	explicit operator bool() const { return ptr_ != nullptr; }
	// Hands the reference to the caller.
	T* detach() { return std::exchange(ptr_, nullptr); }
	void reset() {
		if (T* ptr = std::exchange(ptr_, nullptr)) ptr->Release();
	}

private:
	T* ptr_ = nullptr;
};

} // namespace standin
