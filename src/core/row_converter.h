#pragma once
// The writers' view of a picture: its rows as blue-green-red bytes, whatever the source's format.
#include <cstdint>
#include <vector>

#include "base/picture.h"

namespace kvr {

// Turns the rows of a picture into blue-green-red bytes, whatever its format. Built once per
// picture: at 16 bits per pixel it holds a table of every pixel value.
class RowConverter {
public:
    explicit RowConverter(const Picture& picture);
    // The value of a row's pixel x, in the picture's byte order (above 8 bits per pixel, its
    // masks' layout).
    uint32_t pixelAt(const uint8_t* row, int x) const;
    // Colour-table index of a pixel at 8 bits per pixel or fewer (at 1 bit: 0 black, 1 white).
    uint32_t index(const uint8_t* row, int x) const;
    // The colour-table entry written to a file for an index (at 1 bit: black, then white).
    PaletteEntry paletteEntry(uint32_t i) const;
    // width × 3 bytes.
    void toBgr(int y, uint8_t* out) const;
    // width × 3 bytes, in the order of PNG's true colour.
    void toRgb(int y, uint8_t* out) const;
    // width × 6 bytes: red, green, blue as big-endian 16-bit values, each channel's full range
    // spread over 0..65535.
    void toRgb16(int y, uint8_t* out) const;
    // width × 4 bytes: blue, green, red, 255 (opaque to readers that take the fourth byte for
    // alpha).
    void toBgrx(int y, uint8_t* out) const;
    // width × 4 bytes: red, green, blue, alpha (255 where the picture has no alpha), as PNG's
    // true colour with alpha keeps them; bgra: blue, green, red, alpha.
    void toRgba(int y, uint8_t* out, bool bgra = false) const;
    // width × 8 bytes: toRgb16's values and the alpha's, spread over 0..65535 alike.
    void toRgba16(int y, uint8_t* out) const;
    // Colour-table indices packed with the leftmost pixel in the most significant bits, as BMP
    // and PNG both keep them; out must start zeroed.
    void packIndices(int y, uint8_t* out) const;
    // width × 2 bytes: little-endian 5-5-5 words, bit 15 zero.
    void toBgr555(int y, uint8_t* out) const;

private:
    struct Channel {
        int shift = 0;
        int bits = 0;
        std::vector<uint8_t> to8;  // channel value -> 0..255, when bits <= 8
        uint8_t scale(uint32_t value) const;
    };
    void wide16(int y, uint8_t* out, bool withAlpha) const;
    template <typename Put>
    void eachColour(int y, Put put) const;  // put(x, blue, green, red) for each pixel of a row

    const Picture& picture_;
    Channel red_, green_, blue_, alpha_;
    std::vector<PaletteEntry> palette_;  // 2^bpp entries at 8 bits per pixel or fewer
    std::vector<uint8_t> table16_;       // 65536 × 3 (b, g, r) at 16 bits per pixel
};

// The picture in greys (0.299 red + 0.587 green + 0.114 blue, as JPEG's), 8 bits per pixel with
// the grey ramp as its palette: written grey by the BMP and PNG writers alike.
Picture greyPicture(const Picture& picture);
// Whether a palette is that ramp (entry i is grey i), which PNG keeps as plain grey.
bool isGreyRamp(const std::vector<PaletteEntry>& palette);

// The window without its shadow, for a file that keeps no transparency: the smallest rectangle
// holding every fully opaque pixel, as a view into the same pixels (no copy), without alpha. A
// picture without alpha, or with nothing opaque, is returned as it is (without alpha).
Picture opaqueFrame(const Picture& picture);

// Colours of every index of a true-colour visual of 8 bits per pixel or fewer, from its masks.
std::vector<PaletteEntry> paletteFromMasks(const Picture& picture);

}  // namespace kvr
