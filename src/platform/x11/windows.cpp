#include "platform/x11/windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <string>
#include <vector>

#include "platform/x11/display.h"

namespace kvr::x11 {

namespace {

// A property of 32-bit items (Xlib hands them over as longs).
std::vector<unsigned long> longProperty(Display* dpy, Window w, const char* name, Atom type) {
    Atom atom = XInternAtom(dpy, name, True);
    if (atom == None)
        return {};
    Atom actualType;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(dpy, w, atom, 0, 64, False, type, &actualType, &format, &count, &after,
                           &raw) != Success)
        return {};
    XPtr<unsigned char> data(raw);
    if (!raw || format != 32 || (type != AnyPropertyType && actualType != type))
        return {};
    const auto* items = reinterpret_cast<const unsigned long*>(raw);
    return std::vector<unsigned long>(items, items + count);
}

std::vector<Window> children(Display* dpy, Window w, Window* parent = nullptr) {
    Window root = None, up = None;
    Window* list = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, w, &root, &up, &list, &count))
        return {};
    XPtr<Window> owned(list);
    if (parent)
        *parent = up;
    return std::vector<Window>(list, list + count);
}

Window topLevel(Display* dpy, Window root, Window w) {
    for (int depth = 0; w != None && w != root && depth < 64; ++depth) {
        Window parent = None;
        Window rootReturn = None;
        Window* list = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(dpy, w, &rootReturn, &parent, &list, &count))
            return None;
        XPtr<Window> owned(list);
        if (parent == root)
            return w;
        w = parent;
    }
    return None;
}

Window foregroundWindow(Display* dpy, Window root) {
    auto active = longProperty(dpy, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
    Window w = active.empty() ? None : Window(active[0]);
    if (w == None) {
        int revert = 0;
        XGetInputFocus(dpy, &w, &revert);
        if (w == PointerRoot)
            w = None;
    }
    return w == None ? None : topLevel(dpy, root, w);
}

// The application's own window inside a window manager's frame: the one carrying WM_STATE.
Window clientWindow(Display* dpy, Window w, Atom wmState, int depth = 0) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(dpy, w, wmState, 0, 0, False, AnyPropertyType, &type, &format, &count,
                           &after, &raw) == Success) {
        XPtr<unsigned char> data(raw);
        if (type != None)
            return w;
    }
    if (depth > 4)
        return None;
    for (Window c : children(dpy, w)) {
        Window found = clientWindow(dpy, c, wmState, depth + 1);
        if (found != None)
            return found;
    }
    return None;
}

bool iconified(Display* dpy, Window client) {
    Atom wmState = XInternAtom(dpy, "WM_STATE", True);
    if (wmState != None) {
        auto state = longProperty(dpy, client, "WM_STATE", wmState);
        if (!state.empty() && state[0] == IconicState)
            return true;
    }
    Atom hidden = XInternAtom(dpy, "_NET_WM_STATE_HIDDEN", True);
    if (hidden == None)
        return false;
    for (unsigned long a : longProperty(dpy, client, "_NET_WM_STATE", XA_ATOM))
        if (a == hidden)
            return true;
    return false;
}

bool acceptable(Display* dpy, Window w, Window client) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a))
        return false;
    if (a.map_state != IsViewable || a.c_class != InputOutput)
        return false;
    return client == None || !iconified(dpy, client);
}

// The frame the user sees around a managed client, from the _NET_FRAME_EXTENTS its window manager
// publishes: some frame windows are larger, with an invisible band for resizing (metacity, marco)
// through which the windows behind show. Nothing when not published or not within the frame.
std::optional<ScreenRect> visibleFrame(Display* dpy, Window root, const ScreenRect& frame,
                                       Window client) {
    const auto extents = longProperty(dpy, client, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    XWindowAttributes c;
    int cx = 0, cy = 0;
    Window dummy;
    if (extents.size() != 4 || !XGetWindowAttributes(dpy, client, &c) ||
        !XTranslateCoordinates(dpy, client, root, 0, 0, &cx, &cy, &dummy))
        return std::nullopt;
    // Each side of a frame is far under a screen's width; anything else is not a frame.
    for (unsigned long e : extents)
        if (e > 4096)
            return std::nullopt;
    const int left = int(extents[0]), right = int(extents[1]);
    const int top = int(extents[2]), bottom = int(extents[3]);
    const ScreenRect visible{cx - c.border_width - left, cy - c.border_width - top,
                             c.width + 2 * c.border_width + left + right,
                             c.height + 2 * c.border_width + top + bottom};
    if (visible.x < frame.x || visible.y < frame.y ||
        visible.x + visible.width > frame.x + frame.width ||
        visible.y + visible.height > frame.y + frame.height)
        return std::nullopt;
    return visible;
}

std::optional<ScreenRect> windowRect(Display* dpy, Window root, Window w, Window client) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a))
        return std::nullopt;
    ScreenRect rect{a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width};
    if (client == None)
        return rect;
    if (client != w) {
        const auto visible = visibleFrame(dpy, root, rect, client);
        if (visible && !(*visible == rect))
            return visible;
    }
    // A window that draws its own decorations declares an invisible shadow margin; the picture
    // holds what the user sees. Only when no frame of the window manager surrounds it.
    auto extents = longProperty(dpy, client, "_GTK_FRAME_EXTENTS", XA_CARDINAL);
    XWindowAttributes c;
    int cx = 0, cy = 0;
    Window dummy;
    if (extents.size() != 4 || !XGetWindowAttributes(dpy, client, &c) ||
        !XTranslateCoordinates(dpy, client, root, 0, 0, &cx, &cy, &dummy))
        return rect;
    if (c.width != a.width || c.height != a.height)
        return rect;
    const long left = long(extents[0]), right = long(extents[1]);
    const long top = long(extents[2]), bottom = long(extents[3]);
    if (left + right >= c.width || top + bottom >= c.height)
        return rect;
    return ScreenRect{int(cx + left), int(cy + top), int(c.width - left - right),
                      int(c.height - top - bottom)};
}

}  // namespace

bool windowManagerRunning(Display* dpy) {
    XErrorTrap trap(dpy);
    const auto announced =
        longProperty(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (announced.empty() || announced[0] == None)
        return false;
    // A stale property may name a window that is gone; a live one names itself.
    const auto self =
        longProperty(dpy, Window(announced[0]), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    return !trap.failed() && !self.empty() && self[0] == announced[0];
}

bool windowManagerIconifies(Display* dpy) {
    if (!windowManagerRunning(dpy))
        return false;
    XErrorTrap trap(dpy);
    const auto announced =
        longProperty(dpy, DefaultRootWindow(dpy), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom name = XInternAtom(dpy, "_NET_WM_NAME", False);
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    std::string wm;
    if (!announced.empty() &&
        XGetWindowProperty(dpy, Window(announced[0]), name, 0, 64, False, utf8, &type, &format,
                           &count, &after, &raw) == Success) {
        XPtr<unsigned char> data(raw);
        if (raw && format == 8)
            wm.assign(reinterpret_cast<const char*>(raw), count);
    }
    // Tiling window managers that keep an iconified window where it was.
    return wm != "i3";
}

bool windowOffScreen(Display* dpy, Window window) {
    XErrorTrap trap(dpy);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, window, &attributes) || trap.failed())
        return true;
    return attributes.map_state != IsViewable || iconified(dpy, window) || trap.failed();
}

std::optional<std::pair<int, int>> windowPlace(Display* dpy, Window window) {
    XErrorTrap trap(dpy);
    int x = 0, y = 0;
    Window child;
    if (!XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child) ||
        trap.failed())
        return std::nullopt;
    return std::pair{x, y};
}

void moveWindow(Display* dpy, Window window, int x, int y) {
    XErrorTrap trap(dpy);
    XMoveWindow(dpy, window, x, y);
    trap.sync();
}

void askToActivate(Display* dpy, Window window) {
    XErrorTrap trap(dpy);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    // As a pager or taskbar: window managers will not raise a window on a plain application's
    // request, and the user is waiting for the program to come back.
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    trap.sync();
}

bool windowActive(Display* dpy, Window window) {
    XErrorTrap trap(dpy);
    const auto active = longProperty(dpy, DefaultRootWindow(dpy), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return !trap.failed() && !active.empty() && Window(active[0]) == window;
}

ScreenRect primaryMonitor(Display* dpy) {
    XErrorTrap trap(dpy);
    const Window root = DefaultRootWindow(dpy);
    // Asked of the server: the sizes Xlib keeps from the connection's start go stale when the
    // resolution changes while the program runs.
    ScreenRect rootRect{0, 0, DisplayWidth(dpy, DefaultScreen(dpy)),
                        DisplayHeight(dpy, DefaultScreen(dpy))};
    Window rootReturn = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(dpy, root, &rootReturn, &x, &y, &width, &height, &border, &depth))
        rootRect = ScreenRect{0, 0, int(width), int(height)};
    std::vector<MonitorInfo> monitors;
    int event = 0, error = 0, major = 0, minor = 0;
    if (XRRQueryExtension(dpy, &event, &error) && XRRQueryVersion(dpy, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        XRRMonitorInfo* list = XRRGetMonitors(dpy, root, True, &count);
        for (int i = 0; list && i < count; ++i)
            monitors.push_back(
                {{list[i].x, list[i].y, list[i].width, list[i].height}, list[i].primary != 0});
        if (list)
            XRRFreeMonitors(list);
    }
    // Xinerama only matters when RandR names no primary monitor.
    bool marked = false;
    for (const MonitorInfo& m : monitors)
        marked = marked || m.primary;
    std::vector<ScreenRect> heads;
    if (!marked && XineramaQueryExtension(dpy, &event, &error) && XineramaIsActive(dpy)) {
        int count = 0;
        XineramaScreenInfo* list = XineramaQueryScreens(dpy, &count);
        XPtr<XineramaScreenInfo> owned(list);
        for (int i = 0; list && i < count; ++i)
            heads.push_back({list[i].x_org, list[i].y_org, list[i].width, list[i].height});
    }
    if (trap.failed())
        return rootRect;
    return choosePrimaryMonitor(monitors, heads, rootRect);
}

std::optional<ScreenRect> activeWindowRect(Display* dpy) {
    // Windows may vanish while we look at them: such errors only make that window not count.
    XErrorTrap trap(dpy);
    const Window root = DefaultRootWindow(dpy);
    const Window front = foregroundWindow(dpy, root);
    if (front == None)
        return std::nullopt;
    const std::vector<Window> stack = children(dpy, root);  // bottom to top
    const Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    for (size_t i = stack.size(); i-- > 0;) {
        if (stack[i] != front)
            continue;
        for (size_t j = i + 1; j-- > 0;) {
            trap.clear();
            const Window client = clientWindow(dpy, stack[j], wmState);
            if (!acceptable(dpy, stack[j], client))
                continue;
            auto rect = windowRect(dpy, root, stack[j], client);
            if (rect && !trap.failed())
                return rect;
        }
        break;
    }
    return std::nullopt;
}

}  // namespace kvr::x11
