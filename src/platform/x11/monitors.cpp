#include "platform/x11/monitors.h"

#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

#include <vector>

#include "base/error.h"
#include "platform/x11/display.h"
#include "platform/x11/windows.h"

namespace kvr::x11 {
namespace {

struct NamedMonitor {
    std::string name;
    ScreenRect rect;
};

// RandR 1.5 monitors with their names (an output's name for the automatic ones); empty where
// the server has none to tell.
std::vector<NamedMonitor> randrMonitors(Display* dpy) {
    std::vector<NamedMonitor> monitors;
    if (!monitorsListed(dpy))
        return monitors;
    XErrorTrap trap(dpy);
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(dpy, DefaultRootWindow(dpy), True, &count);
    for (int i = 0; list && i < count; ++i) {
        XPtr<char> name(XGetAtomName(dpy, list[i].name));
        monitors.push_back(
            {name ? name.get() : "", {list[i].x, list[i].y, list[i].width, list[i].height}});
    }
    if (list)
        XRRFreeMonitors(list);
    if (trap.failed())
        monitors.clear();
    return monitors;
}

bool contains(const ScreenRect& r, int x, int y) {
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

// Pixel value <-> 8-bit channel through a visual's mask.
struct MaskChannel {
    int shift = 0;
    uint32_t max = 0;
    explicit MaskChannel(uint32_t mask) {
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        max = mask;
    }
    uint32_t get(uint32_t value) const { return max ? ((value >> shift) & max) * 255 / max : 0; }
    uint32_t put(uint32_t channel) const { return max ? (channel * max + 127) / 255 << shift : 0; }
};

}  // namespace

std::vector<std::string> monitorNames(Display* dpy) {
    std::vector<std::string> names;
    for (const NamedMonitor& m : randrMonitors(dpy))
        names.push_back(m.name);
    return names;
}

std::vector<MonitorPlace> monitorPlaces(Display* dpy) {
    std::vector<MonitorPlace> places;
    for (const NamedMonitor& m : randrMonitors(dpy))
        places.push_back({m.name, m.rect});
    if (places.empty())
        places.push_back({"", rootRect(dpy)});
    return places;
}

std::vector<ScreenRect> topLevelFrames(Display* dpy) {
    std::vector<ScreenRect> frames;
    XErrorTrap trap(dpy);
    Window root = None, parent = None;
    Window* list = nullptr;
    unsigned count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &list, &count))
        return frames;
    XPtr<Window> owned(list);
    // The server lists them bottom first.
    for (unsigned i = count; i-- > 0;) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy, list[i], &a) || a.map_state != IsViewable ||
            a.c_class != InputOutput)
            continue;
        frames.push_back({a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width});
    }
    if (trap.failed())
        frames.clear();
    return frames;
}

bool monitorsListed(Display* dpy) {
    int event = 0, error = 0, major = 0, minor = 0;
    return XRRQueryExtension(dpy, &event, &error) && XRRQueryVersion(dpy, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 5));
}

ScreenRect rootRect(Display* dpy) {
    XErrorTrap trap(dpy);
    Window rootReturn = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(dpy, DefaultRootWindow(dpy), &rootReturn, &x, &y, &width, &height, &border,
                     &depth) &&
        !trap.failed())
        return {0, 0, int(width), int(height)};
    return {0, 0, DisplayWidth(dpy, DefaultScreen(dpy)), DisplayHeight(dpy, DefaultScreen(dpy))};
}

ScreenRect wholeScreenArea(Display* dpy, const ShotRequest& request) {
    if (!request.output.empty()) {
        for (const NamedMonitor& m : randrMonitors(dpy))
            if (m.name == request.output)
                return m.rect;
        throw KvrError(text::kNoSuchMonitor, {request.output});
    }
    if (request.monitor == MonitorChoice::All)
        return rootRect(dpy);
    if (request.monitor == MonitorChoice::UnderPointer) {
        Window root = None, child = None;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XErrorTrap trap(dpy);
        if (XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &x, &y, &wx, &wy, &mask) &&
            !trap.failed())
            for (const NamedMonitor& m : randrMonitors(dpy))
                if (contains(m.rect, x, y))
                    return m.rect;
    }
    return primaryMonitor(dpy);
}

bool pointerImageAvailable(Display* dpy) {
    int event = 0, error = 0, major = 0, minor = 0;
    return XFixesQueryExtension(dpy, &event, &error) && XFixesQueryVersion(dpy, &major, &minor) &&
           major >= 2;
}

void drawPointer(Display* dpy, Picture& picture, const ScreenRect& region) {
    const int bytes = picture.bitsPerPixel / 8;
    if (!pointerImageAvailable(dpy) || (bytes != 2 && bytes != 3 && bytes != 4) ||
        !picture.palette.empty())
        return;
    XErrorTrap trap(dpy);
    XPtr<XFixesCursorImage> cursor(XFixesGetCursorImage(dpy));
    if (!cursor || trap.failed())
        return;
    const MaskChannel red(picture.redMask), green(picture.greenMask), blue(picture.blueMask);
    const bool msb = picture.byteOrder == ByteOrder::MsbFirst;
    // The grab's memory is its own until the next grab (our shared segment or the X image).
    auto* pixels = const_cast<uint8_t*>(picture.pixels);
    const int left = cursor->x - cursor->xhot - region.x;
    const int top = cursor->y - cursor->yhot - region.y;
    for (int cy = 0; cy < cursor->height; ++cy) {
        const int y = top + cy;
        if (y < 0 || y >= picture.height)
            continue;
        for (int cx = 0; cx < cursor->width; ++cx) {
            const int x = left + cx;
            if (x < 0 || x >= picture.width)
                continue;
            // Premultiplied ARGB in the low 32 bits of each long.
            const uint32_t argb = uint32_t(cursor->pixels[cy * cursor->width + cx]);
            const uint32_t alpha = argb >> 24;
            if (alpha == 0)
                continue;
            uint8_t* at = pixels + size_t(y) * picture.stride + size_t(x) * bytes;
            uint32_t value = 0;
            for (int b = 0; b < bytes; ++b)
                value |= uint32_t(at[msb ? bytes - 1 - b : b]) << (8 * b);
            const auto over = [&](uint32_t src, uint32_t dst) {
                return std::min<uint32_t>(255, src + dst * (255 - alpha) / 255);
            };
            const uint32_t keep = value & ~(picture.redMask | picture.greenMask | picture.blueMask);
            value = keep | red.put(over((argb >> 16) & 0xff, red.get(value))) |
                    green.put(over((argb >> 8) & 0xff, green.get(value))) |
                    blue.put(over(argb & 0xff, blue.get(value)));
            for (int b = 0; b < bytes; ++b)
                at[msb ? bytes - 1 - b : b] = uint8_t(value >> (8 * b));
        }
    }
}

}  // namespace kvr::x11
