#pragma once
// Screen geometry: which monitor counts as "the screen", and the part of a window that lies on
// it. Pure functions, so odd layouts can be tested without a display.
#include <optional>
#include <string>
#include <vector>

namespace kvr {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// A monitor's output name and its rectangle in a picture of every monitor (that picture's pixels).
struct MonitorPlace {
    std::string name;
    ScreenRect rect;
    bool operator==(const MonitorPlace&) const = default;
};

struct MonitorInfo {
    ScreenRect rect;
    bool primary = false;
};

// The primary monitor (RandR's primary output), else the first head (Xinerama's), else the
// whole root window.
ScreenRect choosePrimaryMonitor(const std::vector<MonitorInfo>& randrMonitors,
                                const std::vector<ScreenRect>& xineramaHeads,
                                const ScreenRect& root);

// The part of a window (frame included) that lies on the screen: a window off the left or top
// edge loses that strip, one off the right or bottom edge is cut at the edge. The screen's
// top-left is the origin of the arithmetic. Nothing when under 1 pixel remains.
std::optional<ScreenRect> clipToScreen(const ScreenRect& window, const ScreenRect& screen);

}  // namespace kvr
