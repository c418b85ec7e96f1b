#include "base/screen.h"

#include <algorithm>

namespace kvr {

ScreenRect choosePrimaryMonitor(const std::vector<MonitorInfo>& randrMonitors,
                                const std::vector<ScreenRect>& xineramaHeads,
                                const ScreenRect& root) {
    for (const MonitorInfo& m : randrMonitors)
        if (m.primary && m.rect.width > 0 && m.rect.height > 0)
            return m.rect;
    for (const ScreenRect& head : xineramaHeads)
        if (head.width > 0 && head.height > 0)
            return head;
    return root;
}

std::optional<ScreenRect> clipToScreen(const ScreenRect& window, const ScreenRect& screen) {
    // 64-bit: X coordinates are 16-bit, but nothing here may overflow whatever comes in.
    const long long left = (long long)window.x - screen.x;
    const long long top = (long long)window.y - screen.y;
    const long long right = left + window.width;
    const long long bottom = top + window.height;
    const long long sx = left < 0 ? -left : 0;
    const long long sy = top < 0 ? -top : 0;
    const long long width = std::min<long long>(right, screen.width) - left - sx;
    const long long height = std::min<long long>(bottom, screen.height) - top - sy;
    if (width < 1 || height < 1)
        return std::nullopt;
    return ScreenRect{int(screen.x + left + sx), int(screen.y + top + sy), int(width),
                      int(height)};
}

}  // namespace kvr
