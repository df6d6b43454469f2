// Without the engine's error pages. WebView2 cannot keep the previous page on a failed navigation:
// the failure always replaces the document. Its IsBuiltInErrorPageEnabled setting turns the error
// page (for a failed navigation and for an ended page process alike) into a blank page painted in
// the default background colour. That is preferred here to hiding the view, which would show the
// native window's own background instead of the colour the program chose, and would have to be
// undone at the right moment of the next navigation.
#include "core/browser_window/edge2/view_capabilities.hpp"

namespace bw::edge2 {

void install_error_pages(const ViewParts& view) {
	if (!view.capabilities().engine_error_pages) view.settings->put_IsBuiltInErrorPageEnabled(FALSE);
}

} // namespace bw::edge2
