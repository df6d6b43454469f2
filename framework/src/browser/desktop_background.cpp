#include "browser/page_capabilities.hpp"

namespace bw {

// A dark grey rather than black, as dark themes paint their windows.
BackgroundColor desktop_background() { return desktop_prefers_dark() ? BackgroundColor{0x1e, 0x1e, 0x1e} : BackgroundColor{0xff, 0xff, 0xff}; }

} // namespace bw
