#include "xtest_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "polling.h"

namespace kvr::test {

namespace {

const Rgb kColours[] = {{255, 0, 0},    {0, 255, 0},     {0, 0, 255},  {255, 255, 0},
                        {40, 120, 200}, {250, 250, 250}, {0, 0, 0},    {128, 128, 128},
                        {200, 60, 90},  {10, 200, 150},  {90, 30, 220}};
constexpr size_t kColourCount = sizeof kColours / sizeof kColours[0];

uint32_t channelValue(uint8_t v, unsigned long mask) {
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t c = bits >= 8 ? uint32_t(v) << (bits - 8) | uint32_t(v) >> (16 - bits)
                                 : uint32_t(v) >> (8 - bits);
    return c << shift;
}

uint8_t channel8(uint32_t pixel, unsigned long mask) {
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t c = (pixel & mask) >> shift;
    if (bits >= 8)
        return uint8_t(c >> (bits - 8));
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((c * 255 + max / 2) / max);
}

// Polls until done() or about two seconds have passed, our requests through to the server before
// each try.
bool waitForServer(Display* dpy, const std::function<bool()>& done) {
    return pollUntil(std::chrono::seconds(2), [&] {
        XSync(dpy, False);
        return done();
    });
}

}  // namespace

size_t PaintedRoot::blockIndex(int x, int y) {
    return size_t(x / 16 + 5 * (y / 16)) % kColourCount;
}

PaintedRoot::PaintedRoot(Display* dpy) {
    const int screen = DefaultScreen(dpy);
    Visual* visual = DefaultVisual(dpy, screen);
    const Colormap map = DefaultColormap(dpy, screen);
    for (const Rgb& c : kColours) {
        colours_.push_back(c);
        if (visual->c_class == TrueColor) {
            const uint32_t p = channelValue(c.r, visual->red_mask) |
                               channelValue(c.g, visual->green_mask) |
                               channelValue(c.b, visual->blue_mask);
            pixels_.push_back(p);
            shown_.push_back({channel8(p, visual->red_mask), channel8(p, visual->green_mask),
                              channel8(p, visual->blue_mask)});
        } else {
            XColor x{};
            x.red = uint16_t(c.r * 257), x.green = uint16_t(c.g * 257),
            x.blue = uint16_t(c.b * 257);
            if (!XAllocColor(dpy, map, &x))
                throw std::runtime_error("XAllocColor failed");
            pixels_.push_back(uint32_t(x.pixel));
            shown_.push_back({uint8_t(x.red >> 8), uint8_t(x.green >> 8), uint8_t(x.blue >> 8)});
        }
    }
    const Window root = DefaultRootWindow(dpy);
    const int w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    Pixmap pix =
        XCreatePixmap(dpy, root, unsigned(w), unsigned(h), unsigned(DefaultDepth(dpy, screen)));
    GC gc = XCreateGC(dpy, pix, 0, nullptr);
    for (int y = 0; y < h; y += 16)
        for (int x = 0; x < w; x += 16) {
            XSetForeground(dpy, gc, pixelAt(x, y));
            XFillRectangle(dpy, pix, gc, x, y, 16, 16);
        }
    XSetWindowBackgroundPixmap(dpy, root, pix);
    XClearWindow(dpy, root);
    XFreeGC(dpy, gc);
    XFreePixmap(dpy, pix);
    XSync(dpy, False);
}

void setActiveWindowProperty(Display* dpy, Window w) {
    const Atom active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    const long value = long(w);
    XChangeProperty(dpy, DefaultRootWindow(dpy), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(dpy, False);
}

TestWindow::TestWindow(Display* dpy, int x, int y, int width, int height, unsigned long pixel,
                       bool decorated)
    : display_(dpy) {
    const Window root = DefaultRootWindow(dpy);
    window_ = XCreateSimpleWindow(dpy, root, x, y, unsigned(width), unsigned(height), 0, 0, pixel);
    XStoreName(dpy, window_, "kvr test window");
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = x, hints.y = y, hints.width = width, hints.height = height;
    XSetWMNormalHints(dpy, window_, &hints);
    if (!decorated) {
        // Motif hints: decorations off, as windows that draw their own do.
        setProperty32("_MOTIF_WM_HINTS", XInternAtom(dpy, "_MOTIF_WM_HINTS", False),
                      {2, 0, 0, 0, 0});
    }
    XMapWindow(dpy, window_);
    waitForServer(dpy, [&] {
        XWindowAttributes a;
        return frame() != window_ && XGetWindowAttributes(dpy, frame(), &a) &&
               a.map_state == IsViewable;
    });
}

TestWindow::~TestWindow() {
    XDestroyWindow(display_, window_);
    XSync(display_, False);
}

Window TestWindow::frame() const {
    const Window root = DefaultRootWindow(display_);
    Window w = window_;
    while (true) {
        Window r, parent, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(display_, w, &r, &parent, &children, &n))
            return w;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            return w;
        w = parent;
    }
}

ScreenRect TestWindow::frameRect() const {
    XWindowAttributes a;
    XGetWindowAttributes(display_, frame(), &a);
    return {a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width};
}

void TestWindow::activate() {
    const Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window_;
    e.xclient.message_type = active;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager: no focus-stealing checks
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
    waitForServer(display_, [&] {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        bool ok = XGetWindowProperty(display_, DefaultRootWindow(display_), active, 0, 1, False,
                                     XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                  count == 1 && *reinterpret_cast<unsigned long*>(data) == window_;
        if (data)
            XFree(data);
        return ok;
    });
}

void TestWindow::moveTo(int x, int y) {
    const ScreenRect before = frameRect();
    XMoveWindow(display_, window_, x, y);
    waitForServer(display_, [&] { return !(frameRect() == before); });
    // Let the window manager finish whatever it does with the move.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    XSync(display_, False);
}

void TestWindow::iconify() {
    const Window f = frame();
    XIconifyWindow(display_, window_, DefaultScreen(display_));
    waitForServer(display_, [&] {
        XWindowAttributes a;
        return XGetWindowAttributes(display_, f, &a) && a.map_state != IsViewable;
    });
}

void TestWindow::setProperty32(const char* name, Atom type, const std::vector<long>& values) {
    XChangeProperty(display_, window_, XInternAtom(display_, name, False), type, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values.data()),
                    int(values.size()));
    XSync(display_, False);
}

int differingPixels(Display* display, const ScreenRect& r,
                    const std::function<Rgb(int x, int y)>& got) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), r.x, r.y, unsigned(r.width),
                              unsigned(r.height), AllPlanes, ZPixmap);
    if (!image)
        return -1;
    int wrong = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const unsigned long v = XGetPixel(image, x, y);
            const Rgb c = got(x, y);
            wrong += c.r != ((v >> 16) & 0xff) || c.g != ((v >> 8) & 0xff) || c.b != (v & 0xff);
        }
    XDestroyImage(image);
    return wrong;
}

}  // namespace kvr::test
