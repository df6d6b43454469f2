// What the follower of the settings portal's changes tells the preference's reader.
#pragma once

#include <cstdint>

namespace bw {

// The portal announced this color-scheme: a read right after it (a window built next) takes it
// rather than an answer asked before the change.
void note_portal_color_scheme(uint32_t scheme);

} // namespace bw
