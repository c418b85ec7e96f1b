#include "paint.h"

#include "photo.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kvr::bench {

namespace {

unsigned long toPixel(double r, double g, double b, const Visual* v) {
    auto channel = [](double value, unsigned long mask) {
        const int bits = std::popcount(mask);
        const int shift = std::countr_zero(mask);
        const double clamped = value < 0 ? 0 : value > 255 ? 255 : value;
        return (static_cast<unsigned long>(clamped) >> (8 - std::min(bits, 8))) << shift;
    };
    return channel(r, v->red_mask) | channel(g, v->green_mask) | channel(b, v->blue_mask);
}

}  // namespace

void paintRoot(Display* dpy, bool plain) {
    const int screen = DefaultScreen(dpy);
    const int w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    Visual* visual = DefaultVisual(dpy, screen);
    const unsigned depth = unsigned(DefaultDepth(dpy, screen));
    XImage* image =
        XCreateImage(dpy, visual, depth, ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
    image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line), size_t(h)));
    const std::vector<uint32_t> photo = plain ? plainDesktop(w, h) : photoLike(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t rgb = photo[size_t(y) * size_t(w) + size_t(x)];
            XPutPixel(image, x, y, toPixel(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff, visual));
        }
    const Window root = DefaultRootWindow(dpy);
    Pixmap pixmap = XCreatePixmap(dpy, root, unsigned(w), unsigned(h), depth);
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XSetWindowBackgroundPixmap(dpy, root, pixmap);
    XClearWindow(dpy, root);
    XFreeGC(dpy, gc);
    XFreePixmap(dpy, pixmap);
    XDestroyImage(image);
    XSync(dpy, False);
}

}  // namespace kvr::bench
