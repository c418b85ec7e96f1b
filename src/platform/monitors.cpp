#include "platform/monitors.h"

namespace kvr::platform {

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

}  // namespace kvr::platform
