// The failure of a cookie store.
#pragma once

#include <ostream>
#include <string>

namespace bw {

enum class CookieStorageError { Unknown };

// "unable to set cookie (url invalid?)"
std::string to_string(CookieStorageError error);
// The value's name: "Unknown".
std::string debug_string(CookieStorageError error);
std::ostream& operator<<(std::ostream& out, CookieStorageError error);

// What a store completes with: success, or the error.
class CookieStoreResult {
public:
	static CookieStoreResult success() { return CookieStoreResult(); }
	CookieStoreResult(CookieStorageError error) : ok_(false), error_(error) {} // NOLINT: a failed result

	bool ok() const { return ok_; }
	// Only for a failed result.
	CookieStorageError error() const { return error_; }

private:
	CookieStoreResult() = default;
	bool ok_ = true;
	CookieStorageError error_ = CookieStorageError::Unknown;
};

} // namespace bw
