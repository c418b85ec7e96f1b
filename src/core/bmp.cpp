#include "core/bmp.h"

#include <cstring>
#include <new>

#include "base/error.h"
#include "core/outfile.h"
#include "core/row_converter.h"

namespace kvr {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// Colour-table indices, repacked so that the leftmost pixel sits in the most significant bits.
void packIndices(const Picture& picture, const RowConverter& converter, int y, uint8_t* out) {
    const int bpp = picture.bitsPerPixel;
    const uint8_t* row = picture.row(y);
    if (bpp == 8) {
        std::memcpy(out, row, size_t(picture.width));
        return;
    }
    if (picture.bitOrder == ByteOrder::MsbFirst && bpp == 4) {
        std::memcpy(out, row, (size_t(picture.width) * 4 + 7) / 8);
        if (picture.width & 1)
            out[picture.width / 2] &= 0xf0;
        return;
    }
    // 1 bit per pixel goes through the black/white mapping; LSB-first 4-bit rows need swapping.
    const int perByte = 8 / bpp;
    for (int x = 0; x < picture.width; ++x) {
        const int shift = 8 - bpp * (x % perByte + 1);
        out[x / perByte] |= uint8_t(converter.index(row, x) << shift);
    }
}

}  // namespace

BmpImage makeBmp(const Picture& picture) {
    BmpImage bmp;
    const int bpp = picture.bitsPerPixel;
    const uint32_t width = uint32_t(picture.width);
    const uint32_t height = uint32_t(picture.height);
    const size_t stride = (size_t(width) * bpp + 31) / 32 * 4;
    const RowConverter converter(picture);

    const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    bmp.colourTable.resize(size_t(colours) * 4);
    for (uint32_t i = 0; i < colours; ++i) {
        const PaletteEntry c = converter.paletteEntry(i);
        bmp.colourTable[i * 4] = c.blue;
        bmp.colourTable[i * 4 + 1] = c.green;
        bmp.colourTable[i * 4 + 2] = c.red;
    }

    bmp.pixels.assign(stride * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = bmp.pixels.data() + (height - 1 - y) * stride;
        switch (bpp) {
            case 32:
                converter.toBgr0(int(y), out);
                break;
            case 24:
                converter.toBgr(int(y), out);
                break;
            case 16:
                converter.toBgr555(int(y), out);
                break;
            default:
                packIndices(picture, converter, int(y), out);
        }
    }

    const uint32_t offBits = 54 + colours * 4;
    const uint32_t sizeImage = uint32_t(stride * height);
    uint8_t* f = bmp.fileHeader;
    f[0] = 'B';
    f[1] = 'M';
    put32(f + 2, offBits + sizeImage);
    put32(f + 10, offBits);
    uint8_t* i = bmp.infoHeader;
    put32(i, 40);
    put32(i + 4, width);
    put32(i + 8, height);
    put16(i + 12, 1);
    put16(i + 14, uint32_t(bpp));
    put32(i + 16, 0);
    put32(i + 20, sizeImage);
    put32(i + 32, colours);
    return bmp;
}

void saveBmp(const Picture& picture, const std::string& path) {
    OutputFile file(path);
    if (picture.empty()) {
        file.close();
        return;
    }
    BmpImage bmp;
    try {
        bmp = makeBmp(picture);
    } catch (const std::bad_alloc&) {
        // The file stays, empty, as for any other failed conversion.
        throw KvrError(text::kNoResources, {});
    }
    file.writeAll(bmp.fileHeader, sizeof bmp.fileHeader);
    file.writeAll(bmp.infoHeader, sizeof bmp.infoHeader);
    file.writeAll(bmp.colourTable.data(), bmp.colourTable.size());
    file.writeAll(bmp.pixels.data(), bmp.pixels.size());
    file.close();
}

}  // namespace kvr
