#pragma once
// The grabbed picture in the display's own pixel format. The X layer fills it; the writers read
// it. No X types here, so the writers can be tested with made-up pictures of any format.
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
    size_t stride = 0;                  // bytes from one row to the next
    const uint8_t* pixels = nullptr;    // top row first
    std::shared_ptr<const void> owner;  // keeps the pixel memory alive (owned buffer or X image)
    std::vector<PaletteEntry> palette;  // colour of each index at 8 bits per pixel or fewer

    const uint8_t* row(int y) const { return pixels + size_t(y) * stride; }
    bool empty() const { return width <= 0 || height <= 0; }
};

// A picture with its own zero-filled buffer (tests, and grabs that need a reordered copy).
Picture makeOwnedPicture(int width, int height, int bitsPerPixel, size_t stride);
uint8_t* mutablePixels(Picture& picture);  // only for pictures from makeOwnedPicture

// Turns the rows of a picture into blue-green-red bytes, whatever its format. Built once per
// picture: at 16 bits per pixel it holds a table of every pixel value.
class RowConverter {
public:
    explicit RowConverter(const Picture& picture);
    // Colour-table index of a pixel at 8 bits per pixel or fewer (at 1 bit: 0 black, 1 white).
    uint32_t index(const uint8_t* row, int x) const;
    // The colour-table entry written to a file for an index (at 1 bit: black, then white).
    PaletteEntry paletteEntry(uint32_t i) const;
    // width × 3 bytes.
    void toBgr(int y, uint8_t* out) const;
    // width × 4 bytes: blue, green, red, 0.
    void toBgr0(int y, uint8_t* out) const;
    // width × 2 bytes: little-endian 5-5-5 words, bit 15 zero.
    void toBgr555(int y, uint8_t* out) const;

private:
    struct Channel {
        int shift = 0;
        int bits = 0;
        std::vector<uint8_t> to8;  // channel value -> 0..255, when bits <= 8
        uint8_t scale(uint32_t value) const;
    };
    uint32_t pixelAt(const uint8_t* row, int x) const;
    template <typename Put>
    void eachColour(int y, Put put) const;  // put(x, blue, green, red) for each pixel of a row

    const Picture& picture_;
    Channel red_, green_, blue_;
    std::vector<PaletteEntry> palette_;  // 2^bpp entries at 8 bits per pixel or fewer
    std::vector<uint8_t> table16_;       // 65536 × 3 (b, g, r) at 16 bits per pixel
};

// Colours of every index of a true-colour visual of 8 bits per pixel or fewer, from its masks.
std::vector<PaletteEntry> paletteFromMasks(const Picture& picture);

}  // namespace kvr
