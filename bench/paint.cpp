#include "paint.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kvr::bench {

namespace {

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

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

void paintRoot(Display* dpy) {
    const int screen = DefaultScreen(dpy);
    const int w = DisplayWidth(dpy, screen), h = DisplayHeight(dpy, screen);
    Visual* visual = DefaultVisual(dpy, screen);
    const unsigned depth = unsigned(DefaultDepth(dpy, screen));
    XImage* image =
        XCreateImage(dpy, visual, depth, ZPixmap, 0, nullptr, unsigned(w), unsigned(h), 32, 0);
    image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line), size_t(h)));
    // A few soft blobs over a sky-like gradient, with sensor-like grain.
    struct Blob {
        double x, y, radius, r, g, b;
    };
    std::vector<Blob> blobs;
    for (uint32_t i = 0; i < 40; ++i)
        blobs.push_back({double(hash(i * 7 + 1) % unsigned(w)),
                         double(hash(i * 7 + 2) % unsigned(h)), 40.0 + hash(i * 7 + 3) % 300,
                         double(hash(i * 7 + 4) % 256), double(hash(i * 7 + 5) % 256),
                         double(hash(i * 7 + 6) % 256)});
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double fx = double(x) / w, fy = double(y) / h;
            double r = 60 + 120 * fy + 30 * std::sin(fx * 9 + fy * 3);
            double g = 90 + 80 * fx + 25 * std::sin(fy * 13);
            double b = 200 - 90 * fy + 20 * std::cos(fx * 7 - fy * 5);
            for (const Blob& blob : blobs) {
                const double dx = x - blob.x, dy = y - blob.y;
                const double d2 = (dx * dx + dy * dy) / (blob.radius * blob.radius);
                if (d2 < 1) {
                    const double a = 0.7 * (1 - d2);
                    r += (blob.r - r) * a, g += (blob.g - g) * a, b += (blob.b - b) * a;
                }
            }
            // Texture: fine stripes and grain.
            const double texture = 10 * std::sin(x * 0.9 + std::sin(y * 0.21) * 4);
            const double grain = double(int(hash(uint32_t(y * w + x)) % 25) - 12);
            XPutPixel(image, x, y,
                      toPixel(r + texture + grain, g + texture * 0.8 + grain,
                              b + texture * 0.6 + grain, visual));
        }
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
