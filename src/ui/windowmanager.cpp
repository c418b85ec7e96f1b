#include "windowmanager.h"

#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <memory>

#include "platform/xdisplay.h"

namespace kvr {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

struct XFreer {
    void operator()(unsigned char* p) const { XFree(p); }
};

// The window named by the _NET_SUPPORTING_WM_CHECK property of window, or None.
Window checkWindow(Display* display, Window window, Atom check) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &raw) != Success)
        return None;
    std::unique_ptr<unsigned char, XFreer> data(raw);
    if (type != XA_WINDOW || format != 32 || count != 1 || !data)
        return None;
    return Window(reinterpret_cast<unsigned long*>(data.get())[0]);
}

// The window manager's ICCCM state of window: 1 normal, 3 iconic, -1 none.
long wmState(Display* display, Window window) {
    const Atom state = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, state, 0, 2, False, state, &type, &format, &count,
                           &after, &raw) != Success)
        return -1;
    std::unique_ptr<unsigned char, XFreer> data(raw);
    if (type != state || format != 32 || count < 1 || !data)
        return -1;
    return reinterpret_cast<long*>(data.get())[0];
}

// Whether _NET_WM_STATE of window holds _NET_WM_STATE_HIDDEN.
bool netWmHidden(Display* display, Window window) {
    const Atom property = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom hidden = XInternAtom(display, "_NET_WM_STATE_HIDDEN", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &after, &raw) != Success)
        return false;
    std::unique_ptr<unsigned char, XFreer> data(raw);
    if (type != XA_ATOM || format != 32 || !data)
        return false;
    const auto* atoms = reinterpret_cast<unsigned long*>(data.get());
    return std::find(atoms, atoms + count, hidden) != atoms + count;
}

bool assumeNone = false;

}  // namespace

void assumeNoWindowManagerForTesting(bool assume) {
    assumeNone = assume;
}

bool windowManagerRunning() {
    if (assumeNone)
        return false;
    // A connection of our own: a stale property naming a window that is gone must not reach
    // the toolkit's error handling.
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return false;
    platform::XErrorTrap trap(display.get());
    const Atom check = XInternAtom(display.get(), "_NET_SUPPORTING_WM_CHECK", False);
    const Window announced = checkWindow(display.get(), DefaultRootWindow(display.get()), check);
    if (announced == None)
        return false;
    const bool alive = checkWindow(display.get(), announced, check) == announced;
    return trap.sync() && alive;
}

}  // namespace kvr

namespace kvr {

void syncToolkitWithServer() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        XSync(x11->display(), False);
}

void askWindowManagerToActivate(unsigned long window) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return;
    platform::XErrorTrap trap(display.get());
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display.get(), "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    // Sent as a pager or taskbar would: the user is waiting for the program to come back, and
    // window managers refuse to raise a window on a plain application's request.
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display.get(), DefaultRootWindow(display.get()), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    trap.sync();
}

bool windowOffScreen(unsigned long window) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return false;  // cannot tell: not known to be off screen
    platform::XErrorTrap trap(display.get());
    XWindowAttributes attributes{};
    const bool known = XGetWindowAttributes(display.get(), window, &attributes) != 0;
    const bool offScreen = !known || attributes.map_state != IsViewable ||
                           wmState(display.get(), window) == 3 /* IconicState */ ||
                           netWmHidden(display.get(), window);
    // A window that is gone is in no picture either.
    return !trap.sync() || offScreen;
}

}  // namespace kvr
