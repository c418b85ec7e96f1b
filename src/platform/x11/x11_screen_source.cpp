#include "platform/x11/x11_screen_source.h"

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/monitors.h"
#include "platform/x11/root_image.h"
#include "platform/x11/windows.h"

namespace kvr::x11 {

Picture X11ScreenSource::grab(const ShotRequest& request) {
    const ShotMode mode = request.mode;
    Connection& c = connection();
    Display* dpy = c.display();
    const ScreenRect screen = primaryMonitor(dpy);
    ScreenRect region = screen;
    if (mode == ShotMode::AllScreen) {
        region = wholeScreenArea(dpy, request);
    } else {
        const auto window = activeWindowRect(dpy);
        const auto visible = window ? clipToScreen(*window, screen) : std::nullopt;
        if (!visible)
            throw KvrError(text::kNoWindow, {});
        region = *visible;
    }
    if (c.handle->lost)
        throw KvrError(text::kNoResources, {});
    Picture picture = readRootImage(c, region);
    if (request.pointer)
        drawPointer(dpy, picture, region);
    return picture;
}

std::vector<std::string> X11ScreenSource::outputNames() {
    return monitorNames(connection().display());
}

std::vector<MonitorPlace> X11ScreenSource::monitorPlaces() const {
    return x11::monitorPlaces(connection().display());
}

std::vector<ScreenRect> X11ScreenSource::windowFrames() {
    return topLevelFrames(connection().display());
}

std::optional<ScreenPoint> X11ScreenSource::pointerInPicture() {
    Display* dpy = connection().display();
    XErrorTrap trap(dpy);
    Window root = None, child = None;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &x, &y, &wx, &wy, &mask) ||
        trap.failed())
        return std::nullopt;
    return ScreenPoint{x, y};  // the root's corner is the picture's
}

const char* X11ScreenSource::refusal(CaptureChoice choice) const {
    // All monitors is the root; a name no monitor has is the grab's error.
    if (choice == CaptureChoice::AllMonitors || choice == CaptureChoice::NamedOutput)
        return nullptr;
    try {
        Display* dpy = connection().display();
        if (choice == CaptureChoice::MonitorUnderPointer)
            return monitorsListed(dpy) ? nullptr : text::kNoPointerMonitor;
        const Visual* visual = DefaultVisual(dpy, DefaultScreen(dpy));
        if (pointerImageAvailable(dpy) && visual->c_class == TrueColor &&
            DefaultDepth(dpy, DefaultScreen(dpy)) >= 15)
            return nullptr;
    } catch (const KvrError&) {
        // No display: the grab itself will say so.
        return nullptr;
    }
    return text::kNoPointerPicture;
}

}  // namespace kvr::x11
