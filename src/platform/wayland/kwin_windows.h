#pragma once
// The windows KWin shows, from its window-management protocol (which KWin hands only to a
// program whose desktop entry names org_kde_plasma_window_management).
#include <vector>

#include "base/screen.h"

namespace kvr {

// The frames (title bar included, layout coordinates) of the windows on screen, topmost first;
// minimised ones left out. Empty where KWin does not offer the protocol to this program.
std::vector<ScreenRect> kwinWindowFrames();

}  // namespace kvr
