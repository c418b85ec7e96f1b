#include "windowmanager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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
