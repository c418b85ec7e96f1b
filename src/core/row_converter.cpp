#include "core/row_converter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kvr {

namespace {

// Widens or narrows an n-bit channel to 8 bits so that the full range maps onto 0..255.
uint8_t to8Bits(uint32_t value, int bits) {
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return uint8_t(value >> (bits - 8));
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((value * 255 + max / 2) / max);
}

uint8_t luminance(const PaletteEntry& c) {
    return uint8_t((c.red * 299 + c.green * 587 + c.blue * 114 + 500) / 1000);
}

}  // namespace

uint8_t RowConverter::Channel::scale(uint32_t value) const {
    value >>= shift;
    if (bits <= 8)
        return to8[value & ((1u << bits) - 1)];
    return uint8_t((value >> (bits - 8)) & 0xff);
}

std::vector<PaletteEntry> paletteFromMasks(const Picture& picture) {
    const int count = 1 << picture.bitsPerPixel;
    std::vector<PaletteEntry> out(count);
    auto channel = [](uint32_t pixel, uint32_t mask) {
        if (mask == 0)
            return uint8_t(0);
        const int shift = std::countr_zero(mask);
        const int bits = std::popcount(mask);
        return to8Bits((pixel & mask) >> shift, bits);
    };
    for (int i = 0; i < count; ++i) {
        out[i].red = channel(i, picture.redMask);
        out[i].green = channel(i, picture.greenMask);
        out[i].blue = channel(i, picture.blueMask);
    }
    return out;
}

RowConverter::RowConverter(const Picture& picture) : picture_(picture) {
    const int bpp = picture.bitsPerPixel;
    if (bpp <= 8) {
        palette_ = picture.palette.empty() ? paletteFromMasks(picture) : picture.palette;
        palette_.resize(size_t(1) << bpp);
        return;
    }
    auto setUp = [](Channel& ch, uint32_t mask) {
        if (mask == 0)
            return;
        ch.shift = std::countr_zero(mask);
        ch.bits = std::popcount(mask >> ch.shift);
        if (ch.bits <= 8) {
            ch.to8.resize(size_t(1) << ch.bits);
            for (uint32_t v = 0; v < ch.to8.size(); ++v)
                ch.to8[v] = to8Bits(v, ch.bits);
        }
    };
    setUp(red_, picture.redMask);
    setUp(green_, picture.greenMask);
    setUp(blue_, picture.blueMask);
    setUp(alpha_, picture.alphaMask);
    if (bpp == 16) {
        table16_.resize(65536 * 3);
        for (uint32_t v = 0; v < 65536; ++v) {
            table16_[v * 3] = blue_.bits ? blue_.scale(v & picture.blueMask) : 0;
            table16_[v * 3 + 1] = green_.bits ? green_.scale(v & picture.greenMask) : 0;
            table16_[v * 3 + 2] = red_.bits ? red_.scale(v & picture.redMask) : 0;
        }
    }
}

uint32_t RowConverter::pixelAt(const uint8_t* row, int x) const {
    const bool lsb = picture_.byteOrder == ByteOrder::LsbFirst;
    switch (picture_.bitsPerPixel) {
        case 32: {
            const uint8_t* p = row + size_t(x) * 4;
            return lsb ? p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24
                       : uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        }
        case 24: {
            const uint8_t* p = row + size_t(x) * 3;
            return lsb ? p[0] | p[1] << 8 | p[2] << 16 : p[0] << 16 | p[1] << 8 | p[2];
        }
        case 16: {
            const uint8_t* p = row + size_t(x) * 2;
            return lsb ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
        }
        case 8:
            return row[x];
        case 4: {
            const uint8_t byte = row[x >> 1];
            const bool high = ((x & 1) == 0) == (picture_.bitOrder == ByteOrder::MsbFirst);
            return high ? byte >> 4 : byte & 0x0f;
        }
        case 1: {
            const uint8_t byte = row[x >> 3];
            const int bit = picture_.bitOrder == ByteOrder::MsbFirst ? 7 - (x & 7) : (x & 7);
            return (byte >> bit) & 1;
        }
        default:
            return 0;
    }
}

uint32_t RowConverter::index(const uint8_t* row, int x) const {
    const uint32_t v = pixelAt(row, x);
    if (picture_.bitsPerPixel != 1)
        return v;
    // A 1-bit file always has black then white; each pixel goes to the nearer of the two.
    return luminance(palette_[v]) >= 128 ? 1 : 0;
}

PaletteEntry RowConverter::paletteEntry(uint32_t i) const {
    if (picture_.bitsPerPixel == 1)
        return i ? PaletteEntry{255, 255, 255} : PaletteEntry{};
    return i < palette_.size() ? palette_[i] : PaletteEntry{};
}

template <typename Put>
void RowConverter::eachColour(int y, Put put) const {
    const uint8_t* row = picture_.row(y);
    const int width = picture_.width;
    const bool lsb = picture_.byteOrder == ByteOrder::LsbFirst;
    // The format is looked at once a row, not once a pixel.
    if (!table16_.empty()) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(x) * 2;
            const uint32_t v = lsb ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
            const uint8_t* t = &table16_[v * 3];
            put(x, t[0], t[1], t[2]);
        }
    } else if (picture_.bitsPerPixel > 8) {
        const uint32_t rm = picture_.redMask, gm = picture_.greenMask, bm = picture_.blueMask;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = pixelAt(row, x);
            put(x, blue_.bits ? blue_.scale(v & bm) : 0, green_.bits ? green_.scale(v & gm) : 0,
                red_.bits ? red_.scale(v & rm) : 0);
        }
    } else {
        for (int x = 0; x < width; ++x) {
            const PaletteEntry& c = palette_[pixelAt(row, x)];
            put(x, c.blue, c.green, c.red);
        }
    }
}

void RowConverter::toBgr(int y, uint8_t* out) const {
    eachColour(y, [out](int x, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* o = out + size_t(x) * 3;
        o[0] = b, o[1] = g, o[2] = r;
    });
}

void RowConverter::toRgb(int y, uint8_t* out) const {
    if (picture_.bitsPerPixel == 32 && picture_.byteOrder == ByteOrder::LsbFirst &&
        picture_.redMask == 0xff0000 && picture_.greenMask == 0xff00 && picture_.blueMask == 0xff) {
        // The usual screen: bytes are blue, green, red, unused.
        const uint8_t* row = picture_.row(y);
        for (int x = 0; x < picture_.width; ++x, row += 4, out += 3)
            out[0] = row[2], out[1] = row[1], out[2] = row[0];
        return;
    }
    eachColour(y, [out](int x, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* o = out + size_t(x) * 3;
        o[0] = r, o[1] = g, o[2] = b;
    });
}

void RowConverter::toRgb16(int y, uint8_t* out) const {
    wide16(y, out, false);
}

void RowConverter::toRgba16(int y, uint8_t* out) const {
    wide16(y, out, true);
}

void RowConverter::wide16(int y, uint8_t* out, bool withAlpha) const {
    const uint8_t* row = picture_.row(y);
    const Channel* channels[] = {&red_, &green_, &blue_, &alpha_};
    const size_t count = withAlpha ? 4 : 3;
    for (int x = 0; x < picture_.width; ++x) {
        const uint32_t v = pixelAt(row, x);
        for (size_t c = 0; c < count; ++c) {
            const Channel* ch = channels[c];
            const uint64_t max = ch->bits ? (uint64_t(1) << ch->bits) - 1 : 1;
            // No alpha: opaque.
            const uint64_t value = ch->bits ? (v >> ch->shift) & max : c == 3 ? max : 0;
            const auto wide = uint32_t((value * 65535 + max / 2) / max);
            *out++ = uint8_t(wide >> 8);
            *out++ = uint8_t(wide);
        }
    }
}

void RowConverter::toRgba(int y, uint8_t* out, bool bgra) const {
    const uint8_t* row = picture_.row(y);
    const bool alpha = alpha_.bits > 0 && picture_.bitsPerPixel > 8;
    eachColour(y, [&](int x, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* o = out + size_t(x) * 4;
        o[0] = bgra ? b : r, o[1] = g, o[2] = bgra ? r : b;
        o[3] = alpha ? alpha_.scale(pixelAt(row, x) & picture_.alphaMask) : 0xff;
    });
}

void RowConverter::toBgrx(int y, uint8_t* out) const {
    if (picture_.bitsPerPixel == 32 && picture_.byteOrder == ByteOrder::LsbFirst &&
        picture_.redMask == 0xff0000 && picture_.greenMask == 0xff00 && picture_.blueMask == 0xff) {
        // Already blue, green, red: only the fourth byte, whatever the server left there, goes.
        const uint8_t* row = picture_.row(y);
        const size_t bytes = size_t(picture_.width) * 4;
        std::memcpy(out, row, bytes);
        for (size_t i = 3; i < bytes; i += 4)
            out[i] = 0xff;
        return;
    }
    eachColour(y, [out](int x, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* o = out + size_t(x) * 4;
        o[0] = b, o[1] = g, o[2] = r, o[3] = 0xff;
    });
}

void RowConverter::packIndices(int y, uint8_t* out) const {
    const int bpp = picture_.bitsPerPixel;
    const int width = picture_.width;
    const uint8_t* row = picture_.row(y);
    if (bpp == 8) {
        std::memcpy(out, row, size_t(width));
        return;
    }
    if (picture_.bitOrder == ByteOrder::MsbFirst && bpp == 4) {
        std::memcpy(out, row, (size_t(width) * 4 + 7) / 8);
        if (width & 1)
            out[width / 2] &= 0xf0;
        return;
    }
    // 1 bit per pixel goes through the black/white mapping; LSB-first 4-bit rows need swapping.
    const int perByte = 8 / bpp;
    for (int x = 0; x < width; ++x) {
        const int shift = 8 - bpp * (x % perByte + 1);
        out[x / perByte] |= uint8_t(index(row, x) << shift);
    }
}

void RowConverter::toBgr555(int y, uint8_t* out) const {
    eachColour(y, [out](int x, uint8_t b, uint8_t g, uint8_t r) {
        const uint16_t w = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        out[size_t(x) * 2] = uint8_t(w & 0xff);
        out[size_t(x) * 2 + 1] = uint8_t(w >> 8);
    });
}

Picture opaqueFrame(const Picture& picture) {
    Picture frame = picture;
    frame.alphaMask = 0;
    if (picture.alphaMask == 0 || picture.empty() || picture.bitsPerPixel % 8 != 0 ||
        picture.bitsPerPixel < 16)
        return frame;
    const RowConverter converter(picture);
    const uint32_t opaque = picture.alphaMask;
    int left = picture.width, right = -1, top = -1, bottom = -1;
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.row(y);
        int first = 0, last = picture.width - 1;
        while (first < picture.width && (converter.pixelAt(row, first) & opaque) != opaque)
            ++first;
        if (first == picture.width)
            continue;
        while ((converter.pixelAt(row, last) & opaque) != opaque)
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = top < 0 ? y : top;
        bottom = y;
    }
    if (right < 0)
        return frame;
    const size_t bytesPerPixel = size_t(picture.bitsPerPixel / 8);
    frame.pixels = picture.row(top) + size_t(left) * bytesPerPixel;
    frame.width = right - left + 1;
    frame.height = bottom - top + 1;
    return frame;
}

Picture greyPicture(const Picture& source) {
    // Grey keeps no transparency.
    const Picture picture = opaqueFrame(source);
    Picture grey = makeOwnedPicture(picture.width, picture.height, 8, size_t(picture.width));
    grey.dotsPerInch = picture.dotsPerInch;
    grey.palette.resize(256);
    for (int i = 0; i < 256; ++i)
        grey.palette[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    if (picture.empty())
        return grey;
    const RowConverter converter(picture);
    std::vector<uint8_t> rgb(size_t(picture.width) * 3);
    for (int y = 0; y < picture.height; ++y) {
        converter.toRgb(y, rgb.data());
        uint8_t* out = mutablePixels(grey) + size_t(y) * grey.stride;
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* c = &rgb[size_t(x) * 3];
            out[x] = uint8_t((299 * c[0] + 587 * c[1] + 114 * c[2] + 500) / 1000);
        }
    }
    return grey;
}

bool isGreyRamp(const std::vector<PaletteEntry>& palette) {
    if (palette.size() != 256)
        return false;
    for (size_t i = 0; i < 256; ++i)
        if (palette[i].red != i || palette[i].green != i || palette[i].blue != i)
            return false;
    return true;
}

}  // namespace kvr
