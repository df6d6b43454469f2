// How a cookie future learns that its lower-layer operation completed. The operation is given the
// future's id as its user data; the completion looks the id up on the GUI thread and finds the
// future, or nothing when the future was dropped meanwhile. So the lower layer holds nothing that
// the future owns, and callback data it never uses needs no more than free.
#pragma once

#include "application/future.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace bw::cookie_detail {

struct PendingBase {
	virtual ~PendingBase() = default;
	std::optional<Waker> waker;
};

template <class T>
struct Pending final : PendingBase {
	std::optional<T> output;
};

// The table of waiting futures; GUI thread only.
uint64_t add_pending(PendingBase* pending);
void remove_pending(uint64_t id);
PendingBase* find_pending(uint64_t id);
std::size_t pending_count();

inline void* to_user_data(uint64_t id) { return reinterpret_cast<void*>(static_cast<uintptr_t>(id)); }
inline uint64_t from_user_data(void* user_data) { return reinterpret_cast<uintptr_t>(user_data); }

// Owned by a future; waits for one output of type T.
template <class T>
class Completion {
public:
	Completion() : state_(std::make_unique<Pending<T>>()), id_(add_pending(state_.get())) {}
	Completion(Completion&& other) noexcept : state_(std::move(other.state_)), id_(other.id_) {}
	Completion& operator=(Completion&&) = delete;
	~Completion() {
		if (state_) remove_pending(id_);
	}

	void* user_data() const { return to_user_data(id_); }

	// True once the output came; until then the waker is woken when it comes.
	bool poll(const Waker& waker) {
		if (state_->output) return true;
		state_->waker = waker;
		return false;
	}
	T take() { return std::move(*state_->output); }

	// Hands the output to the future waiting under user_data. With no such future left, the output
	// is dropped (and whatever it owns released).
	static void complete(void* user_data, T output) {
		auto* pending = static_cast<Pending<T>*>(find_pending(from_user_data(user_data)));
		if (pending == nullptr) return;
		remove_pending(from_user_data(user_data));
		pending->output.emplace(std::move(output));
		if (pending->waker) pending->waker->wake();
	}

private:
	std::unique_ptr<Pending<T>> state_;
	uint64_t id_;
};

} // namespace bw::cookie_detail
