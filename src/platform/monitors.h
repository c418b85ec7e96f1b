#pragma once
// Which monitor counts as "the screen": the RandR primary output, else the first Xinerama head,
// else the whole root window. A pure choice, so odd layouts can be tested without a server.
#include <vector>

namespace kvr::platform {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct MonitorInfo {
    ScreenRect rect;
    bool primary = false;
};

ScreenRect choosePrimaryMonitor(const std::vector<MonitorInfo>& randrMonitors,
                                const std::vector<ScreenRect>& xineramaHeads,
                                const ScreenRect& root);

}  // namespace kvr::platform
