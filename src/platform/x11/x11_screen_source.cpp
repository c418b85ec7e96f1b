#include "platform/x11/x11_screen_source.h"

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/root_image.h"
#include "platform/x11/windows.h"

namespace kvr::x11 {

Picture X11ScreenSource::grab(const ShotRequest& request) {
    const ShotMode mode = request.mode;
    Connection& c = connection();
    Display* dpy = c.display();
    const ScreenRect screen = primaryMonitor(dpy);
    ScreenRect region = screen;
    if (mode == ShotMode::ActiveWindow) {
        const auto window = activeWindowRect(dpy);
        const auto visible = window ? clipToScreen(*window, screen) : std::nullopt;
        if (!visible)
            throw KvrError(text::kNoWindow, {});
        region = *visible;
    }
    if (c.handle->lost)
        throw KvrError(text::kNoResources, {});
    return readRootImage(c, region);
}

}  // namespace kvr::x11
