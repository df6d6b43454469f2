#include "browser/engine_version.hpp"

#include <webkit2/webkit2.h>

namespace bw {

std::string engine_version() {
	return "WebKitGTK " + std::to_string(webkit_get_major_version()) + "." + std::to_string(webkit_get_minor_version()) + "." +
	       std::to_string(webkit_get_micro_version());
}

} // namespace bw
