#include "core/grab.h"

#include <algorithm>

#include "core/error.h"
#include "platform/xcapture.h"
#include "platform/xdisplay.h"
#include "platform/xwindows.h"

namespace kvr {

const char* const kNoWindowMessage = "Windowの取得に失敗しました";

std::optional<platform::ScreenRect> clipToScreen(const platform::ScreenRect& window,
                                                 const platform::ScreenRect& screen) {
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
    return platform::ScreenRect{int(screen.x + left + sx), int(screen.y + top + sy), int(width),
                                int(height)};
}

Picture grab(ShotMode mode) {
    platform::Connection& connection = platform::connection();
    Display* dpy = connection.display();
    const platform::ScreenRect screen = platform::primaryMonitor(dpy);
    platform::ScreenRect region = screen;
    if (mode == ShotMode::ActiveWindow) {
        const auto window = platform::activeWindowRect(dpy);
        const auto visible = window ? clipToScreen(*window, screen) : std::nullopt;
        if (!visible)
            throw KvrError(kNoWindowMessage);
        region = *visible;
    }
    if (connection.handle->lost)
        throw KvrError(kNoResourcesMessage);
    return platform::captureRoot(connection, region);
}

}  // namespace kvr
