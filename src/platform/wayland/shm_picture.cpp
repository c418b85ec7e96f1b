#include "platform/wayland/shm_picture.h"

#include <wayland-client-protocol.h>

#include <cstring>

#include "base/error.h"
#include "base/texts.h"

namespace kvr {
namespace {

// How a wl_shm format becomes a Picture: read in place (masks of whole bytes), or converted from
// 10 bits a channel to 8 (the writers take whole-byte channels only).
struct FormatInfo {
    uint32_t format;
    int bitsPerPixel;
    uint32_t red, green, blue;  // masks of the little-endian pixel value
    bool tenBit;
};

constexpr FormatInfo kFormats[] = {
    {WL_SHM_FORMAT_XRGB8888, 32, 0xff0000, 0x00ff00, 0x0000ff, false},
    {WL_SHM_FORMAT_ARGB8888, 32, 0xff0000, 0x00ff00, 0x0000ff, false},
    {WL_SHM_FORMAT_XBGR8888, 32, 0x0000ff, 0x00ff00, 0xff0000, false},
    {WL_SHM_FORMAT_ABGR8888, 32, 0x0000ff, 0x00ff00, 0xff0000, false},
    {WL_SHM_FORMAT_RGB888, 24, 0xff0000, 0x00ff00, 0x0000ff, false},
    {WL_SHM_FORMAT_BGR888, 24, 0x0000ff, 0x00ff00, 0xff0000, false},
    {WL_SHM_FORMAT_RGB565, 16, 0xf800, 0x07e0, 0x001f, false},
    {WL_SHM_FORMAT_XRGB2101010, 32, 0x3ff00000, 0x000ffc00, 0x000003ff, true},
    {WL_SHM_FORMAT_ARGB2101010, 32, 0x3ff00000, 0x000ffc00, 0x000003ff, true},
    {WL_SHM_FORMAT_XBGR2101010, 32, 0x000003ff, 0x000ffc00, 0x3ff00000, true},
    {WL_SHM_FORMAT_ABGR2101010, 32, 0x000003ff, 0x000ffc00, 0x3ff00000, true},
};

const FormatInfo* formatInfo(uint32_t format) {
    for (const FormatInfo& f : kFormats)
        if (f.format == format)
            return &f;
    return nullptr;
}

std::string fourccOf(uint32_t format) {
    // wl_shm's two legacy codes are not fourccs.
    if (format == WL_SHM_FORMAT_ARGB8888)
        return "AR24";
    if (format == WL_SHM_FORMAT_XRGB8888)
        return "XR24";
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = char((format >> (8 * i)) & 0xff);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

int shiftOf(uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A 32-bpp XRGB copy of a 10-bit picture (top 8 bits of each channel), rows flipped when the
// compositor says the buffer is upside down.
Picture convertedCopy(const Picture& in, const FormatInfo& f, bool flip) {
    Picture out = makeOwnedPicture(in.width, in.height, 32, size_t(in.width) * 4);
    uint8_t* dst = mutablePixels(out);
    const int rs = shiftOf(f.red) + 2, gs = shiftOf(f.green) + 2, bs = shiftOf(f.blue) + 2;
    for (int y = 0; y < in.height; ++y) {
        const uint8_t* src = in.row(flip ? in.height - 1 - y : y);
        uint32_t* d = reinterpret_cast<uint32_t*>(dst + size_t(y) * out.stride);
        for (int x = 0; x < in.width; ++x) {
            uint32_t v;
            std::memcpy(&v, src + size_t(x) * 4, 4);
            d[x] = (((v >> rs) & 0xff) << 16) | (((v >> gs) & 0xff) << 8) | ((v >> bs) & 0xff);
        }
    }
    return out;
}

Picture flippedCopy(const Picture& in) {
    Picture out = makeOwnedPicture(in.width, in.height, in.bitsPerPixel, in.stride);
    out.redMask = in.redMask;
    out.greenMask = in.greenMask;
    out.blueMask = in.blueMask;
    uint8_t* dst = mutablePixels(out);
    for (int y = 0; y < in.height; ++y)
        std::memcpy(dst + size_t(y) * out.stride, in.row(in.height - 1 - y), in.stride);
    return out;
}

// The upright picture of a rotated or mirrored output. The compositor drew the layout into the
// buffer through the output's transform (90 = a quarter turn counter-clockwise, "flipped" = a
// mirror about the vertical axis first); this undoes it.
Picture orientedCopy(const Picture& in, int32_t transform, bool yInvert) {
    const bool quarter = transform & 1;
    const int w = quarter ? in.height : in.width;  // upright size
    const int h = quarter ? in.width : in.height;
    const int bytes = in.bitsPerPixel / 8;
    Picture out = makeOwnedPicture(w, h, in.bitsPerPixel, size_t(w) * bytes);
    out.redMask = in.redMask;
    out.greenMask = in.greenMask;
    out.blueMask = in.blueMask;
    uint8_t* dst = mutablePixels(out);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int bx = x, by = y;
            switch (transform) {
                case WL_OUTPUT_TRANSFORM_90:
                    bx = y, by = w - 1 - x;
                    break;
                case WL_OUTPUT_TRANSFORM_180:
                    bx = w - 1 - x, by = h - 1 - y;
                    break;
                case WL_OUTPUT_TRANSFORM_270:
                    bx = h - 1 - y, by = x;
                    break;
                case WL_OUTPUT_TRANSFORM_FLIPPED:
                    bx = w - 1 - x;
                    break;
                case WL_OUTPUT_TRANSFORM_FLIPPED_90:
                    bx = y, by = x;
                    break;
                case WL_OUTPUT_TRANSFORM_FLIPPED_180:
                    by = h - 1 - y;
                    break;
                case WL_OUTPUT_TRANSFORM_FLIPPED_270:
                    bx = h - 1 - y, by = w - 1 - x;
                    break;
            }
            if (yInvert)
                by = in.height - 1 - by;
            std::memcpy(dst + size_t(y) * out.stride + size_t(x) * bytes,
                        in.row(by) + size_t(bx) * bytes, size_t(bytes));
        }
    }
    return out;
}

}  // namespace

bool shmFormatSupported(uint32_t format) {
    return formatInfo(format) != nullptr;
}

std::string shmFormatName(uint32_t format) {
    return fourccOf(format);
}

Picture pictureFromShm(const ShmFrame& frame) {
    const FormatInfo* info = formatInfo(frame.format);
    if (!info)
        throw KvrError(text::kUnsupportedPixelFormat, {fourccOf(frame.format)});
    // A row shorter than its pixels would be read past its end.
    if (!frame.pixels || frame.width == 0 || frame.height == 0 ||
        frame.stride < uint64_t(frame.width) * (info->bitsPerPixel / 8))
        throw KvrError(text::kNoResources, {});
    Picture p;
    p.width = int(frame.width);
    p.height = int(frame.height);
    p.bitsPerPixel = info->bitsPerPixel;
    p.byteOrder = ByteOrder::LsbFirst;
    p.redMask = info->red;
    p.greenMask = info->green;
    p.blueMask = info->blue;
    p.stride = frame.stride;
    p.pixels = frame.pixels;
    p.owner = frame.owner;
    bool flip = frame.yInvert;
    if (info->tenBit) {
        p = convertedCopy(p, *info, flip);
        flip = false;
    }
    if (frame.transform != WL_OUTPUT_TRANSFORM_NORMAL)
        return orientedCopy(p, frame.transform, flip);
    return flip ? flippedCopy(p) : p;
}

}  // namespace kvr
