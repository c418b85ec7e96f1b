#pragma once
// A region of the desktop: the rectangle a region shot cuts from the picture of every monitor,
// its text form (WxH+X+Y, the command line's -g and kvr.ini), and the last one chosen.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/picture.h"
#include "base/screen.h"

namespace kvr {

// "WxH+X+Y" in decimal: a width and height of at least 1, offsets of 0 or more from the top-left
// corner, each within 1000000. Nothing for anything else (an empty text, signs, spaces, a
// missing part).
std::optional<ScreenRect> parseGeometry(std::string_view text);
std::string geometryText(const ScreenRect& rect);

// The rectangle cut to the picture of every monitor (width by height pixels); nothing when what
// is left lies on no monitor. Without monitors known, the whole picture counts as one.
std::optional<ScreenRect> regionOnMonitors(const ScreenRect& region,
                                           const std::vector<MonitorPlace>& monitors, int width,
                                           int height);

// Exactly the rectangle's pixels of the picture (see cropPicture).
Picture cutRegion(const Picture& whole, const ScreenRect& region);

// The monitors as one line of text ("DP-1:1920x1080+0+0 HDMI-1:..."), to tell a changed layout.
std::string layoutText(const std::vector<MonitorPlace>& monitors);

// The first window frame (topmost first) under a point, cut to the picture; nothing when the
// point is on no window.
std::optional<ScreenRect> frameAt(const std::vector<ScreenRect>& frames, int x, int y, int width,
                                  int height);

// The last accepted rectangle and the layout it was chosen on ([Region] in kvr.ini).
struct SavedRegion {
    ScreenRect rect;
    std::string layout;
};

}  // namespace kvr
