// A cookie store, owning one lower-layer bw_CookieJar.
#pragma once

#include "application/task.hpp"
#include "cookie/completion.hpp"
#include "cookie/cookie.hpp"
#include "cookie/cookie_iterator.hpp"
#include "cookie/cookie_storage_error.hpp"

#include <bw/cookie.h>

#include <concepts>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace bw {

// Called once with the result of a store.
using CookieStorageCompletion = void (*)(bw_CookieJar* jar, void* user_data, CookieStoreResult result);
// Called once with the number of cookies deleted.
using CookieDeleteCompletion = void (*)(bw_CookieJar* jar, void* user_data, std::size_t deleted);

// What a jar backend offers.
template <class T>
concept CookieJarExt = requires(const T& jar, std::string_view text, bool flag, const CookieImpl& cookie,
                                CookieStorageCompletion stored, CookieDeleteCompletion deleted, void* user_data) {
	{ T::global() } -> std::same_as<std::optional<T>>;
	{ jar.iterator(text, flag) } -> std::same_as<CookieIteratorImpl>;
	{ jar.iterator_all() } -> std::same_as<CookieIteratorImpl>;
	jar.store(text, cookie, stored, user_data);
	jar.delete_(text, text, deleted, user_data);
};

// The backend over the lower layer.
class CookieJarImpl {
public:
	explicit CookieJarImpl(bw_CookieJar* inner) noexcept : inner_(inner) {}
	CookieJarImpl(CookieJarImpl&& other) noexcept : inner_(std::exchange(other.inner_, nullptr)) {}
	CookieJarImpl& operator=(CookieJarImpl&& other) noexcept;
	CookieJarImpl(const CookieJarImpl&) = delete;
	CookieJarImpl& operator=(const CookieJarImpl&) = delete;
	~CookieJarImpl() { bw_CookieJar_free(inner_); }

	// The engine's global jar, if it has one.
	static std::optional<CookieJarImpl> global();

	CookieIteratorImpl iterator(std::string_view url, bool include_http_only) const;
	CookieIteratorImpl iterator_all() const;
	// Starts storing the cookie for the URL. The completion, if given, comes once: at once when the
	// store could not start, else later.
	void store(std::string_view url, const CookieImpl& cookie, CookieStorageCompletion completion, void* user_data) const;
	void delete_(std::string_view url, std::string_view name, CookieDeleteCompletion completion, void* user_data) const;

	bw_CookieJar* inner() const { return inner_; }

private:
	bw_CookieJar* inner_;
};

static_assert(CookieJarExt<CookieJarImpl>);

// The future of CookieJar::store. It shares the jar and holds a copy of the cookie, so it may
// outlive both.
class CookieStoreFuture {
public:
	using Output = CookieStoreResult;

	CookieStoreFuture(std::shared_ptr<const CookieJarImpl> jar, std::string url, CookieImpl cookie)
	    : jar_(std::move(jar)), url_(std::move(url)), cookie_(std::move(cookie)) {}

	bool poll(const Waker& waker);
	Output take_output() { return completion_->take(); }

private:
	std::shared_ptr<const CookieJarImpl> jar_;
	std::string url_;
	CookieImpl cookie_;
	std::optional<cookie_detail::Completion<Output>> completion_;
};

// The future of CookieJar::delete_: how many cookies went. It shares the jar.
class CookieDeleteFuture {
public:
	using Output = std::size_t;

	CookieDeleteFuture(std::shared_ptr<const CookieJarImpl> jar, std::string url, std::string name)
	    : jar_(std::move(jar)), url_(std::move(url)), name_(std::move(name)) {}

	bool poll(const Waker& waker);
	Output take_output() { return completion_->take(); }

private:
	std::shared_ptr<const CookieJarImpl> jar_;
	std::string url_;
	std::string name_;
	std::optional<cookie_detail::Completion<Output>> completion_;
};

// A cookie store; copies share it. The asynchronous operations start when first awaited and keep
// what they need (the jar, copies of their texts and of the cookie to store): neither the jar nor
// the cookie they came from need outlive them.
class CookieJar {
public:
	explicit CookieJar(CookieJarImpl inner) : inner_(std::make_shared<const CookieJarImpl>(std::move(inner))) {}

	// The engine's global jar, or none when the engine has no cookie access.
	static std::optional<CookieJar> global();

	// The cookies sent to the URL; HTTP-only ones only with include_http_only.
	CookieIterator iter(std::string_view url, bool include_http_only) const { return CookieIterator(inner_->iterator(url, include_http_only)); }
	CookieIterator iter_all() const { return CookieIterator(inner_->iterator_all()); }

	// Stores the cookie for the URL: a cookie without a domain is the URL's host's alone, one
	// without a path gets the URL's directory. Fails for a URL without a host and for a cookie
	// whose domain does not cover the URL's host.
	CookieStoreFuture store(std::string_view url, const Cookie& cookie) const {
		return CookieStoreFuture(inner_, std::string(url), cookie.inner().clone());
	}
	// Deletes the cookies of that name sent to the URL; completes with how many went.
	CookieDeleteFuture delete_(std::string_view url, std::string_view name) const {
		return CookieDeleteFuture(inner_, std::string(url), std::string(name));
	}
	// Deletes every cookie of that name; completes with how many went.
	Task<std::size_t> delete_all(std::string name) const;
	// Deletes every cookie; completes with how many went.
	Task<std::size_t> clear_all() const;
	// The first cookie of that name sent to the URL.
	Task<std::optional<Cookie>> find(std::string url, std::string name, bool include_http_only) const;
	// The first cookie of that name in the whole jar.
	Task<std::optional<Cookie>> find_from_all(std::string name) const;

	const CookieJarImpl& inner() const { return *inner_; }

private:
	// The tasks run on a copy of the jar, which keeps it while they run.
	static Task<std::size_t> delete_all_in(CookieJar jar, std::string name);
	static Task<std::size_t> clear_all_in(CookieJar jar);
	static Task<std::optional<Cookie>> find_in(CookieJar jar, std::string url, std::string name, bool include_http_only);
	static Task<std::optional<Cookie>> find_from_all_in(CookieJar jar, std::string name);

	std::shared_ptr<const CookieJarImpl> inner_;
};

} // namespace bw
