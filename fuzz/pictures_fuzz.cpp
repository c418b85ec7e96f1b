// The BMP, PNG and JPEG writers on made-up pictures of every depth, byte and bit order and
// channel layout the display can have. The BMP is checked pixel by pixel against colours worked
// out here from the masks and the palette; the PNG is decoded back with libpng and checked the
// same way; the WebP is decoded back with libwebp and must give every converted pixel exactly;
// the JPEG is decoded back with libjpeg.
//
// Input: 6 bytes of format (depth, orders, layout, size, quality), then palette and pixel bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <webp/decode.h>

#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/png.h"
#include "core/row_converter.h"
#include "core/sink.h"
#include "core/webp.h"
#include "fuzz_check.h"
#include "jpeg_support.h"
#include "png_support.h"

using namespace kvr;

namespace {

struct Colour {
    uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};

uint32_t pixelValue(const Picture& p, int x, int y) {
    const uint8_t* row = p.row(y);
    const int bytes = p.bitsPerPixel / 8;
    if (p.bitsPerPixel >= 16) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const uint8_t byte = row[size_t(x) * bytes + i];
            v |= p.byteOrder == ByteOrder::LsbFirst ? uint32_t(byte) << (8 * i)
                                                    : uint32_t(byte) << (8 * (bytes - 1 - i));
        }
        return v;
    }
    const int perByte = 8 / p.bitsPerPixel;
    const uint8_t byte = row[x / perByte];
    const int slot = x % perByte;  // 0 = first pixel of the byte
    const int shift =
        p.bitOrder == ByteOrder::MsbFirst ? 8 - p.bitsPerPixel * (slot + 1) : p.bitsPerPixel * slot;
    return byte >> shift & ((1u << p.bitsPerPixel) - 1);
}

uint8_t channel(uint32_t v, uint32_t mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    int bits = 0;
    while (shift + bits < 32 && (mask >> (shift + bits) & 1))
        ++bits;
    const uint32_t value = (v & mask) >> shift;
    if (bits >= 8)
        return uint8_t(value >> (bits - 8));
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((value * 255 + max / 2) / max);
}

Colour colourOf(const Picture& p, int x, int y) {
    const uint32_t v = pixelValue(p, x, y);
    if (p.bitsPerPixel <= 8) {
        if (!p.palette.empty()) {
            const PaletteEntry e = p.palette[v];
            return {e.red, e.green, e.blue};
        }
    }
    return {channel(v, p.redMask), channel(v, p.greenMask), channel(v, p.blueMask)};
}

// Masks of whole channels side by side, the widths and order from the input.
void setMasks(Picture& p, const uint8_t* format) {
    static const uint32_t kTable[][3] = {
        {0xff0000, 0x00ff00, 0x0000ff},
        {0x0000ff, 0x00ff00, 0xff0000},
        {0xf800, 0x07e0, 0x001f},
        {0x7c00, 0x03e0, 0x001f},
        {0x001f, 0x07e0, 0xf800},
        {0x0f00, 0x00f0, 0x000f},
        {0x3ff00000, 0x000ffc00, 0x000003ff},
    };
    const int choice = format[2] & 15;
    if (choice < int(std::size(kTable)) && p.bitsPerPixel > 8) {
        p.redMask = kTable[choice][0], p.greenMask = kTable[choice][1],
        p.blueMask = kTable[choice][2];
        return;
    }
    const int room = p.bitsPerPixel;
    int widths[3] = {format[3] % 11, (format[3] / 11) % 11, format[2] >> 4};
    uint32_t* masks[3] = {&p.redMask, &p.greenMask, &p.blueMask};
    int at = 0;
    for (int i = 0; i < 3; ++i) {
        const int k = (i + format[1] % 3) % 3;  // order of the channels, low bits first
        const int w = std::min(widths[k], room - at);
        *masks[k] = w > 0 ? ((1u << w) - 1) << at : 0;
        at += std::max(w, 0);
    }
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

void checkBmp(const Picture& p) {
    const BmpImage bmp = makeBmp(p);
    const int bpp = p.bitsPerPixel;
    const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    const size_t stride = (size_t(p.width) * bpp + 31) / 32 * 4;
    FUZZ_CHECK(bmp.fileHeader[0] == 'B' && bmp.fileHeader[1] == 'M');
    FUZZ_CHECK(le32(bmp.fileHeader + 2) == 54 + 4 * colours + stride * p.height);
    FUZZ_CHECK(le32(bmp.fileHeader + 10) == 54 + 4 * colours);
    FUZZ_CHECK(le32(bmp.infoHeader + 4) == uint32_t(p.width));
    FUZZ_CHECK(le32(bmp.infoHeader + 8) == uint32_t(p.height));
    FUZZ_CHECK((bmp.infoHeader[14] | bmp.infoHeader[15] << 8) == bpp);
    FUZZ_CHECK(le32(bmp.infoHeader + 16) == 0 && le32(bmp.infoHeader + 20) == stride * p.height);
    FUZZ_CHECK(le32(bmp.infoHeader + 32) == colours);
    FUZZ_CHECK(bmp.colourTable.size() == 4 * colours);
    FUZZ_CHECK(bmp.pixels.size() == stride * p.height);

    const auto luminance = [](Colour c) {
        return (c.r * 299 + c.g * 587 + c.b * 114 + 500) / 1000;
    };
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = bmp.pixels.data() + size_t(p.height - 1 - y) * stride;
        for (int x = 0; x < p.width; ++x) {
            const Colour want = colourOf(p, x, y);
            Colour got{};
            if (bpp == 32 || bpp == 24) {
                const uint8_t* q = row + size_t(x) * (bpp / 8);
                got = {q[2], q[1], q[0]};
                if (bpp == 32)
                    FUZZ_CHECK(q[3] == 0xff);
            } else if (bpp == 16) {
                const unsigned w = row[x * 2] | row[x * 2 + 1] << 8;
                FUZZ_CHECK(!(w & 0x8000));
                FUZZ_CHECK((w >> 10 & 31) == want.r >> 3 && (w >> 5 & 31) == want.g >> 3 &&
                           (w & 31) == want.b >> 3);
                continue;
            } else {
                const int perByte = 8 / bpp;
                const unsigned index =
                    row[x / perByte] >> (8 - bpp * (x % perByte + 1)) & ((1u << bpp) - 1);
                if (bpp == 1) {
                    FUZZ_CHECK(index == (luminance(want) >= 128 ? 1u : 0u));
                    continue;
                }
                FUZZ_CHECK(index == pixelValue(p, x, y));
                const uint8_t* e = &bmp.colourTable[index * 4];
                got = {e[2], e[1], e[0]};
                FUZZ_CHECK(e[3] == 0);
            }
            FUZZ_CHECK(got == want);
        }
        // Padding after the last pixel is zero.
        const size_t used = (size_t(p.width) * bpp + 7) / 8;
        for (size_t i = used; i < stride; ++i)
            FUZZ_CHECK(row[i] == 0);
        if (bpp < 8 && p.width * bpp % 8)
            FUZZ_CHECK((row[used - 1] & ((1u << (8 - p.width * bpp % 8)) - 1)) == 0);
    }
    if (bpp == 1) {
        static const uint8_t kBlackWhite[8] = {0, 0, 0, 0, 255, 255, 255, 0};
        FUZZ_CHECK(std::memcmp(bmp.colourTable.data(), kBlackWhite, 8) == 0);
    }
}

// A channel's value spread over 0..65535, as 16-bit PNG files keep it.
uint16_t channel16(uint32_t v, uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = __builtin_ctz(mask);
    const uint64_t max = (uint64_t(1) << __builtin_popcount(mask)) - 1;
    return uint16_t((((v & mask) >> shift) * 65535 + max / 2) / max);
}

void checkPng(const Picture& p) {
    // The folder's name outlives every static string: the exit handler runs after their
    // destructors.
    static char folder[] = "/tmp/kvr-fuzz-png-XXXXXX";
    static const std::string path = [] {
        const std::string dir = mkdtemp(folder);
        std::atexit([] { std::filesystem::remove_all(folder); });
        return dir + "/p.png";
    }();
    savePng(p, path);
    test::DecodedPng d;
    try {
        d = test::decodePng(path);
    } catch (const std::runtime_error&) {
        FUZZ_CHECK(!"libpng cannot read what we wrote");
    }
    FUZZ_CHECK(d.width == p.width && d.height == p.height);
    const bool wide = p.bitsPerPixel > 8 &&
                      std::max({__builtin_popcount(p.redMask), __builtin_popcount(p.greenMask),
                                __builtin_popcount(p.blueMask)}) > 8;
    FUZZ_CHECK(d.bitDepth == (wide ? 16 : p.bitsPerPixel <= 8 ? p.bitsPerPixel : 8));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint16_t* got = &d.rgb[(size_t(y) * p.width + x) * 3];
            if (wide) {
                const uint32_t v = pixelValue(p, x, y);
                FUZZ_CHECK(got[0] == channel16(v, p.redMask) &&
                           got[1] == channel16(v, p.greenMask) &&
                           got[2] == channel16(v, p.blueMask));
                continue;
            }
            Colour want = colourOf(p, x, y);
            if (p.bitsPerPixel == 1) {  // black or white, as in the BMP
                const uint8_t level =
                    (want.r * 299 + want.g * 587 + want.b * 114 + 500) / 1000 >= 128 ? 255 : 0;
                want = {level, level, level};
            }
            FUZZ_CHECK((Colour{uint8_t(got[0]), uint8_t(got[1]), uint8_t(got[2])}) == want);
        }
}

// Lossless and exact: every pixel decodes to the colour the other formats' rows get
// (RowConverter's 8 bits a channel).
void checkWebp(const Picture& p, int method) {
    MemorySink sink;
    writeWebp(p, sink, method);
    int width = 0, height = 0;
    uint8_t* rgb = WebPDecodeRGB(sink.bytes.data(), sink.bytes.size(), &width, &height);
    FUZZ_CHECK(rgb != nullptr);
    FUZZ_CHECK(width == p.width && height == p.height);
    const RowConverter converter(p);
    std::vector<uint8_t> bgr(size_t(p.width) * 3);
    for (int y = 0; y < p.height; ++y) {
        converter.toBgr(y, bgr.data());
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* got = rgb + (size_t(y) * p.width + x) * 3;
            const uint8_t* want = &bgr[size_t(x) * 3];
            FUZZ_CHECK(got[0] == want[2] && got[1] == want[1] && got[2] == want[0]);
        }
    }
    WebPFree(rgb);
}

void checkJpeg(const Picture& p, uint8_t quality, bool grey) {
    const JpegBytes bytes = encodeJpeg(p, quality, grey);
    test::Decoded d;
    try {
        d = test::decodeJpeg(std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size()));
    } catch (const std::runtime_error&) {
        FUZZ_CHECK(!"libjpeg cannot read what we wrote");
    }
    FUZZ_CHECK(d.width == p.width && d.height == p.height);
    FUZZ_CHECK(d.components == (grey ? 1 : 3));
    // One colour all over (the fuzzer finds these): it must come back close to that colour.
    const Colour first = colourOf(p, 0, 0);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!(colourOf(p, x, y) == first))
                return;
    if (quality < 90)
        return;
    const int want[3] = {first.r, first.g, first.b};
    const int greyWant = (first.r * 299 + first.g * 587 + first.b * 114 + 500) / 1000;
    for (size_t i = 0; i < d.pixels.size(); ++i) {
        const int expected = grey ? greyWant : want[i % 3];
        FUZZ_CHECK(std::abs(int(d.pixels[i]) - expected) <= 6);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 7)
        return 0;
    static const int kDepths[] = {32, 24, 16, 8, 4, 1};
    const uint8_t* format = data;
    Picture shape;
    shape.bitsPerPixel = kDepths[format[0] % 6];
    shape.byteOrder = format[0] & 0x10 ? ByteOrder::MsbFirst : ByteOrder::LsbFirst;
    shape.bitOrder = format[0] & 0x20 ? ByteOrder::LsbFirst : ByteOrder::MsbFirst;
    const int width = 1 + format[4] % 40;
    const int height = 1 + format[5] % 24;
    const size_t minStride = (size_t(width) * shape.bitsPerPixel + 7) / 8;
    Picture p = makeOwnedPicture(width, height, shape.bitsPerPixel, minStride + (format[1] >> 5));
    p.byteOrder = shape.byteOrder;
    p.bitOrder = shape.bitOrder;
    setMasks(p, format);
    data += 6, size -= 6;

    if (p.bitsPerPixel <= 8 && !(format[0] & 0x40)) {
        // A colour table from the input (else the colours come from the masks, a true-colour
        // visual of few bits).
        p.palette.resize(size_t(1) << p.bitsPerPixel);
        for (size_t i = 0; i < p.palette.size(); ++i) {
            const size_t at = (i * 3) % size;
            p.palette[i] = {data[at], data[(at + 1) % size], data[(at + 2) % size]};
        }
    }
    uint8_t* pixels = mutablePixels(p);
    for (size_t i = 0; i < p.stride * size_t(height); ++i)
        pixels[i] = data[i % size];

    checkBmp(p);
    checkPng(p);
    checkWebp(p, (format[1] & 7) % 7);  // every method of libwebp
    checkJpeg(p, format[1] & 0x10 ? 100 : uint8_t(data[0] % 101), format[0] & 0x80);
    return 0;
}
