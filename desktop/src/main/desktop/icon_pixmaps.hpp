// The program's icon as pixmaps for a tray that does not have it in its icon theme (Linux: PNGs
// rendered from the icon's SVG at the build; Windows uses the icon resource and needs none).
#pragma once

#include "status_icon/status_icon.hpp"

#include <vector>

namespace tarnwick {

std::vector<bw::StatusIconPixmap> icon_pixmaps();

} // namespace tarnwick
