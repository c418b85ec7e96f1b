// Compositor buffers turned into pictures, without a display: each wl_shm layout a compositor
// may hand out gives the right colours, an upside-down or rotated output's buffer comes out
// upright, and what cannot be read is refused with a message rather than read wrongly.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/wayland/shm_picture.h"

namespace {

using kvr::Picture;
using kvr::ShmFrame;

// The colour of a pixel as 0xRRGGBB, read through the picture's own masks.
uint32_t rgbAt(const Picture& p, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, p.row(y) + size_t(x) * (p.bitsPerPixel / 8), size_t(p.bitsPerPixel / 8));
    auto channel = [v](uint32_t mask) {
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const uint32_t max = mask >> shift;
        return ((v & mask) >> shift) * 255 / max;
    };
    return channel(p.redMask) << 16 | channel(p.greenMask) << 8 | channel(p.blueMask);
}

ShmFrame frameOf(const std::vector<uint8_t>& bytes, uint32_t format, uint32_t width,
                 uint32_t height, uint32_t stride) {
    ShmFrame f;
    f.pixels = bytes.data();
    f.format = format;
    f.width = width;
    f.height = height;
    f.stride = stride;
    return f;
}

template <typename T>
void put(std::vector<uint8_t>& bytes, size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

TEST(ShmPicture, EightBitFormatsAreReadInPlace) {
    std::vector<uint8_t> bytes(2 * 16);  // 2 rows of 2 pixels, 8 bytes of row padding
    put<uint32_t>(bytes, 0, 0xff123456);
    put<uint32_t>(bytes, 4, 0x00abcdef);
    put<uint32_t>(bytes, 16, 0x00000000);
    put<uint32_t>(bytes, 20, 0x00ffffff);
    const Picture p = kvr::pictureFromShm(frameOf(bytes, WL_SHM_FORMAT_XRGB8888, 2, 2, 16));
    EXPECT_EQ(p.pixels, bytes.data()) << "no copy for the common layout";
    EXPECT_EQ(p.stride, 16u);
    EXPECT_EQ(p.bitsPerPixel, 32);
    EXPECT_EQ(rgbAt(p, 0, 0), 0x123456u);
    EXPECT_EQ(rgbAt(p, 1, 0), 0xabcdefu);
    EXPECT_EQ(rgbAt(p, 1, 1), 0xffffffu);
}

TEST(ShmPicture, EveryChannelOrderGivesTheSameColours) {
    struct Case {
        uint32_t format;
        int bytesPerPixel;
        uint32_t red, blue;  // pixel values of pure red and pure blue in that format
    };
    const Case cases[] = {
        {WL_SHM_FORMAT_XRGB8888, 4, 0x00ff0000, 0x000000ff},
        {WL_SHM_FORMAT_ARGB8888, 4, 0xffff0000, 0xff0000ff},
        {WL_SHM_FORMAT_XBGR8888, 4, 0x000000ff, 0x00ff0000},
        {WL_SHM_FORMAT_ABGR8888, 4, 0xff0000ff, 0xffff0000},
        {WL_SHM_FORMAT_RGB888, 3, 0xff0000, 0x0000ff},
        {WL_SHM_FORMAT_BGR888, 3, 0x0000ff, 0xff0000},
        {WL_SHM_FORMAT_RGB565, 2, 0xf800, 0x001f},
        {WL_SHM_FORMAT_XRGB2101010, 4, 0x3ff00000, 0x000003ff},
        {WL_SHM_FORMAT_ARGB2101010, 4, 0xfff00000, 0xc00003ff},
        {WL_SHM_FORMAT_XBGR2101010, 4, 0x000003ff, 0x3ff00000},
        {WL_SHM_FORMAT_ABGR2101010, 4, 0xc00003ff, 0xfff00000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvr::shmFormatName(c.format));
        EXPECT_TRUE(kvr::shmFormatSupported(c.format));
        std::vector<uint8_t> bytes(size_t(c.bytesPerPixel) * 2);
        std::memcpy(bytes.data(), &c.red, size_t(c.bytesPerPixel));
        std::memcpy(bytes.data() + c.bytesPerPixel, &c.blue, size_t(c.bytesPerPixel));
        const Picture p = kvr::pictureFromShm(frameOf(bytes, c.format, 2, 1, bytes.size()));
        EXPECT_EQ(rgbAt(p, 0, 0), 0xff0000u);
        EXPECT_EQ(rgbAt(p, 1, 0), 0x0000ffu);
        // The writers take whole-byte channels only.
        for (uint32_t mask : {p.redMask, p.greenMask, p.blueMask})
            if (p.bitsPerPixel >= 24) {
                EXPECT_TRUE(mask == 0xff || mask == 0xff00 || mask == 0xff0000) << std::hex << mask;
            }
    }
}

TEST(ShmPicture, TenBitChannelsKeepTheirTopEightBits) {
    std::vector<uint8_t> bytes(4);
    // red 0x3ff, green 0x200, blue 0x007 (10 bits each)
    put<uint32_t>(bytes, 0, 0x3ffu << 20 | 0x200u << 10 | 0x007u);
    const Picture p = kvr::pictureFromShm(frameOf(bytes, WL_SHM_FORMAT_XRGB2101010, 1, 1, 4));
    EXPECT_EQ(rgbAt(p, 0, 0), 0xff8001u);
}

// An upright picture of w x h distinct pixels, the buffer a compositor makes of it through an
// output transform (built here from quarter turns and a mirror, one step at a time), and back.
using Grid = std::vector<std::vector<uint32_t>>;

Grid quarterTurnCounterClockwise(const Grid& g) {
    const size_t h = g.size(), w = g[0].size();
    Grid out(w, std::vector<uint32_t>(h));
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x)
            out[w - 1 - x][y] = g[y][x];
    return out;
}

Grid mirrored(Grid g) {
    for (auto& row : g)
        std::reverse(row.begin(), row.end());
    return g;
}

TEST(ShmPicture, RotatedAndMirroredOutputsComeOutUpright) {
    Grid upright(3, std::vector<uint32_t>(4));
    for (size_t y = 0; y < 3; ++y)
        for (size_t x = 0; x < 4; ++x)
            upright[y][x] = uint32_t(0x100000 * (y + 1) + 0x10 * (x + 1));
    for (int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
         transform <= WL_OUTPUT_TRANSFORM_FLIPPED_270; ++transform) {
        for (bool yInvert : {false, true}) {
            SCOPED_TRACE("transform " + std::to_string(transform) + (yInvert ? " y-invert" : ""));
            Grid buffer = transform >= WL_OUTPUT_TRANSFORM_FLIPPED ? mirrored(upright) : upright;
            for (int turn = 0; turn < transform % 4; ++turn)
                buffer = quarterTurnCounterClockwise(buffer);
            if (yInvert)
                std::reverse(buffer.begin(), buffer.end());
            const uint32_t bw = uint32_t(buffer[0].size()), bh = uint32_t(buffer.size());
            std::vector<uint8_t> bytes(size_t(bw) * bh * 4);
            for (uint32_t y = 0; y < bh; ++y)
                for (uint32_t x = 0; x < bw; ++x)
                    put<uint32_t>(bytes, (size_t(y) * bw + x) * 4, buffer[y][x]);
            ShmFrame f = frameOf(bytes, WL_SHM_FORMAT_XRGB8888, bw, bh, bw * 4);
            f.transform = transform;
            f.yInvert = yInvert;
            const Picture p = kvr::pictureFromShm(f);
            ASSERT_EQ(p.width, 4);
            ASSERT_EQ(p.height, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x)
                    EXPECT_EQ(rgbAt(p, x, y), upright[y][x]) << x << "," << y;
        }
    }
}

TEST(ShmPicture, WhatCannotBeReadIsRefusedWithAMessage) {
    std::vector<uint8_t> bytes(64);
    try {
        kvr::pictureFromShm(frameOf(bytes, WL_SHM_FORMAT_YUYV, 2, 2, 8));
        FAIL() << "a YUV buffer was taken for RGB";
    } catch (const kvr::KvrError& e) {
        EXPECT_NE(std::string(e.what()).find("YUYV"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(kvr::shmFormatSupported(WL_SHM_FORMAT_YUYV));
    // Rows shorter than their pixels would be read past the buffer's end.
    EXPECT_THROW(kvr::pictureFromShm(frameOf(bytes, WL_SHM_FORMAT_XRGB8888, 4, 2, 12)),
                 kvr::KvrError);
    EXPECT_THROW(kvr::pictureFromShm(frameOf(bytes, WL_SHM_FORMAT_XRGB8888, 0, 2, 16)),
                 kvr::KvrError);
}

}  // namespace
