#include "photo.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

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

uint32_t channel(double value) {
    return uint32_t(std::clamp(value, 0.0, 255.0));
}

}  // namespace

std::vector<uint32_t> photoLike(int w, int h) {
    std::vector<uint32_t> out(size_t(w) * size_t(h));
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
            out[size_t(y) * size_t(w) + size_t(x)] = channel(r + texture + grain) << 16 |
                                                     channel(g + texture * 0.8 + grain) << 8 |
                                                     channel(b + texture * 0.6 + grain);
        }
    }
    return out;
}

std::vector<uint32_t> plainDesktop(int w, int h) {
    std::vector<uint32_t> out(size_t(w) * size_t(h), 0x3c6e9e);
    auto fill = [&](int x0, int y0, int x1, int y1, uint32_t colour) {
        for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, w); ++x)
                out[size_t(y) * size_t(w) + size_t(x)] = colour;
    };
    fill(0, 0, w, 28, 0x2b2b2b);  // the panel
    static const uint32_t kInk[] = {0x202020, 0x5a5a5a, 0x9a9a9a, 0xd0d0d0};
    for (int i = 0; i < 3; ++i) {
        const int x0 = w / 10 + i * w / 5, y0 = h / 8 + i * h / 10;
        const int x1 = x0 + w / 2, y1 = y0 + h / 2;
        fill(x0, y0, x1, y1, 0xf6f6f6);
        fill(x0, y0, x1, y0 + 30, 0xdedede);  // title bar
        // Rows of glyph-like marks, edges in grey as anti-aliased text has them.
        for (int y = y0 + 44; y + 14 < y1; y += 20)
            for (int x = x0 + 12; x < x1 - 12; ++x) {
                const uint32_t word = hash(uint32_t(x / 7 + y * 131)) % 9;
                if (word == 0)
                    continue;  // a space
                for (int dy = 0; dy < 12; ++dy) {
                    const uint32_t mark = hash(uint32_t(x * 31 + (y + dy) * 977)) % 11;
                    if (mark < 4 && y + dy < h && x < w)
                        out[size_t(y + dy) * size_t(w) + size_t(x)] = kInk[mark];
                }
            }
    }
    return out;
}

}  // namespace kvr::bench
