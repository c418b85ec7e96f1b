#include "base/picture.h"

#include <algorithm>
#include <vector>

namespace kvr {

Picture makeOwnedPicture(int width, int height, int bitsPerPixel, size_t stride) {
    Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bitsPerPixel;
    p.stride = stride;
    auto buffer = std::make_shared<std::vector<uint8_t>>(stride * size_t(height > 0 ? height : 0));
    p.pixels = buffer->data();
    p.owner = buffer;
    return p;
}

Picture cropPicture(const Picture& picture, int x, int y, int width, int height) {
    // In 64 bits: a rectangle from a hand-edited file may reach past what an int holds.
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + width, picture.width);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + height, picture.height);
    Picture part = picture;
    part.width = int(std::max<int64_t>(right - left, 0));
    part.height = int(std::max<int64_t>(bottom - top, 0));
    if (part.empty()) {
        part.width = part.height = 0;
        return part;
    }
    const int bits = picture.bitsPerPixel;
    if (bits >= 8) {
        part.pixels = picture.row(int(top)) + size_t(left) * size_t(bits / 8);
        return part;
    }
    // 1 or 4 bits: each pixel is moved to its place in a fresh row.
    Picture copy =
        makeOwnedPicture(part.width, part.height, bits, (size_t(part.width) * bits + 7) / 8);
    copy.byteOrder = picture.byteOrder;
    copy.bitOrder = picture.bitOrder;
    copy.redMask = picture.redMask;
    copy.greenMask = picture.greenMask;
    copy.blueMask = picture.blueMask;
    copy.palette = picture.palette;
    copy.dotsPerInch = picture.dotsPerInch;
    const int perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    const bool msbFirst = picture.bitOrder == ByteOrder::MsbFirst;
    auto shiftOf = [&](int64_t column) {
        const int slot = int(column % perByte);
        return msbFirst ? 8 - bits * (slot + 1) : bits * slot;
    };
    uint8_t* out = mutablePixels(copy);
    for (int row = 0; row < part.height; ++row) {
        const uint8_t* from = picture.row(int(top) + row);
        uint8_t* to = out + size_t(row) * copy.stride;
        for (int64_t column = 0; column < part.width; ++column) {
            const int64_t source = left + column;
            const unsigned value = (from[source / perByte] >> shiftOf(source)) & mask;
            to[column / perByte] |= uint8_t(value << shiftOf(column));
        }
    }
    return copy;
}

uint16_t wholeDotsPerInch(const Picture& picture) {
    const double dpi = picture.dotsPerInch;
    return dpi >= 0.5 && dpi < 65535 ? uint16_t(dpi + 0.5) : 0;
}

uint32_t pixelsPerMetre(const Picture& picture) {
    const double dpi = picture.dotsPerInch;
    return dpi >= 0.5 && dpi < 65535 ? uint32_t(dpi / 0.0254 + 0.5) : 0;
}

uint8_t* mutablePixels(Picture& picture) {
    return const_cast<uint8_t*>(picture.pixels);
}

}  // namespace kvr
