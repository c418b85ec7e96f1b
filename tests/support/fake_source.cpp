#include "fake_source.h"

namespace kvr::test {

Rgb blockColour(int x, int y) {
    static const Rgb kColours[] = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255},
                                   {255, 255, 0}, {40, 120, 200},  {250, 250, 250},
                                   {0, 0, 0},     {128, 128, 128}, {200, 60, 90}};
    return kColours[(x / 16 + 3 * (y / 16)) % 9];
}

Picture patterned(int width, int height, int bpp, ByteOrder order, uint32_t r, uint32_t g,
                  uint32_t b) {
    const size_t stride = (size_t(width) * bpp + 31) / 32 * 4;
    Picture p = makeOwnedPicture(width, height, bpp, stride);
    p.byteOrder = order;
    p.redMask = r, p.greenMask = g, p.blueMask = b;
    auto put = [](uint32_t mask, uint8_t v) {
        const int shift = __builtin_ctz(mask), bits = __builtin_popcount(mask);
        const uint32_t max = (1u << bits) - 1;
        return ((uint32_t(v) * max + 127) / 255) << shift;
    };
    for (int y = 0; y < height; ++y) {
        uint8_t* row = mutablePixels(p) + y * stride;
        for (int x = 0; x < width; ++x) {
            const Rgb c = blockColour(x, y);
            const uint32_t v = put(r, c.r) | put(g, c.g) | put(b, c.b);
            const int bytes = bpp / 8;
            for (int k = 0; k < bytes; ++k) {
                const int shift = order == ByteOrder::LsbFirst ? 8 * k : 8 * (bytes - 1 - k);
                row[x * bytes + k] = uint8_t(v >> shift);
            }
        }
    }
    return p;
}

Picture bgrx(int width, int height) {
    return patterned(width, height, 32, ByteOrder::LsbFirst, 0xff0000, 0xff00, 0xff);
}

Picture FakeScreenSource::grab(const ShotRequest& request) {
    grabs_.push_back(request);
    if (failure_)
        throw *failure_;
    return picture_;
}

}  // namespace kvr::test
