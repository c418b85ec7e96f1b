#pragma once
// The pixels of a screen source in the display's own format. A source fills it; the writers read
// it. No display types here, so the writers can be tested with made-up pictures of any format.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kvr {

enum class ByteOrder { LsbFirst, MsbFirst };

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32;  // 32, 24, 16, 8, 4 or 1
    // Order of the bytes of one pixel above 8 bits per pixel; of the pixels within a byte below.
    ByteOrder byteOrder = ByteOrder::LsbFirst;
    ByteOrder bitOrder = ByteOrder::MsbFirst;
    // Where the channels sit in a pixel value (above 8 bits per pixel).
    uint32_t redMask = 0xff0000;
    uint32_t greenMask = 0x00ff00;
    uint32_t blueMask = 0x0000ff;
    // Where a pixel's opacity sits, not multiplied into the colours (above 8 bits per pixel); 0
    // for a picture opaque throughout, as every screen is. A window picked with its shadow has it.
    uint32_t alphaMask = 0;
    size_t stride = 0;                  // bytes from one row to the next
    const uint8_t* pixels = nullptr;    // top row first
    std::shared_ptr<const void> owner;  // keeps the pixel memory alive (owned buffer or X image)
    std::vector<PaletteEntry> palette;  // colour of each index at 8 bits per pixel or fewer
    double dotsPerInch = 0;             // the screen's density; 0 when the source cannot tell

    const uint8_t* row(int y) const { return pixels + size_t(y) * stride; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// The density as the files record it, rounded; 0 when unknown or beyond what a file can say.
uint16_t wholeDotsPerInch(const Picture& picture);
uint32_t pixelsPerMetre(const Picture& picture);

// The part of a picture at (x, y), width by height pixels, clipped to the picture (empty when
// nothing is left). At 8 bits per pixel and more it shares the pixels (owner included); below,
// where a row may start inside a byte, the pixels are copied to rows that start on a byte.
Picture cropPicture(const Picture& picture, int x, int y, int width, int height);

// A picture with its own zero-filled buffer (tests, and grabs that need a reordered copy).
Picture makeOwnedPicture(int width, int height, int bitsPerPixel, size_t stride);
uint8_t* mutablePixels(Picture& picture);  // only for pictures from makeOwnedPicture

}  // namespace kvr
