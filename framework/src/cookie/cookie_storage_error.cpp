#include "cookie/cookie_storage_error.hpp"

namespace bw {

std::string to_string(CookieStorageError) { return "unable to set cookie (url invalid?)"; }

std::string debug_string(CookieStorageError) { return "Unknown"; }

std::ostream& operator<<(std::ostream& out, CookieStorageError error) { return out << to_string(error); }

} // namespace bw
