#include "desktop/icon_pixmaps.hpp"

namespace tarnwick {

std::vector<bw::StatusIconPixmap> icon_pixmaps() { return {}; }

} // namespace tarnwick
