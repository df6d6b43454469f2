// Iteration over a jar's cookies, owning one lower-layer bw_CookieIterator.
#pragma once

#include "cookie/completion.hpp"
#include "cookie/cookie.hpp"

#include <bw/cookie.h>

#include <concepts>
#include <memory>
#include <optional>
#include <utility>

namespace bw {

// Called once with the next cookie, or none.
using CookieIteratorNextCompletion = void (*)(bw_CookieIterator* iterator, void* user_data, std::optional<Cookie> cookie);

// What an iterator backend offers.
template <class T>
concept CookieIteratorExt = requires(const T& iterator, CookieIteratorNextCompletion completion, void* user_data) {
	{ iterator.next(completion, user_data) } -> std::same_as<bool>;
};

// The backend over the lower layer. A null record is an iterator with nothing to give.
class CookieIteratorImpl {
public:
	explicit CookieIteratorImpl(bw_CookieIterator* inner) noexcept : inner_(inner) {}
	CookieIteratorImpl(CookieIteratorImpl&& other) noexcept : inner_(std::exchange(other.inner_, nullptr)) {}
	CookieIteratorImpl& operator=(CookieIteratorImpl&& other) noexcept;
	CookieIteratorImpl(const CookieIteratorImpl&) = delete;
	CookieIteratorImpl& operator=(const CookieIteratorImpl&) = delete;
	~CookieIteratorImpl() { bw_CookieIterator_free(inner_); }

	// True when a next cookie is being fetched: the completion comes later. False when the listing
	// is exhausted: the completion never comes.
	bool next(CookieIteratorNextCompletion completion, void* user_data) const;

	bw_CookieIterator* inner() const { return inner_; }

private:
	bw_CookieIterator* inner_;
};

static_assert(CookieIteratorExt<CookieIteratorImpl>);

// The future of CookieIterator::next: the next cookie, or none at the end. It shares the iterator,
// so it may outlive the CookieIterator it came from.
class CookieNextFuture {
public:
	using Output = std::optional<Cookie>;

	explicit CookieNextFuture(std::shared_ptr<const CookieIteratorImpl> iterator) : iterator_(std::move(iterator)) {}

	bool poll(const Waker& waker);
	Output take_output() { return completion_->take(); }

private:
	std::shared_ptr<const CookieIteratorImpl> iterator_;
	std::optional<cookie_detail::Completion<Output>> completion_;
};

class CookieIterator {
public:
	explicit CookieIterator(CookieIteratorImpl inner) : inner_(std::make_shared<const CookieIteratorImpl>(std::move(inner))) {}

	CookieNextFuture next() const { return CookieNextFuture(inner_); }

	const CookieIteratorImpl& inner() const { return *inner_; }

private:
	std::shared_ptr<const CookieIteratorImpl> inner_;
};

} // namespace bw
