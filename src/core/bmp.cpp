#include "core/bmp.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/error.h"
#include "core/formats.h"
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

size_t bmpStride(const Picture& picture) {
    return (size_t(picture.width) * picture.bitsPerPixel + 31) / 32 * 4;
}

// One row of the file's pixel array; out is stride bytes, zeroed.
void bmpRow(const Picture& picture, const RowConverter& converter, int y, uint8_t* out) {
    switch (picture.bitsPerPixel) {
        case 32:
            converter.toBgrx(y, out);
            break;
        case 24:
            converter.toBgr(y, out);
            break;
        case 16:
            converter.toBgr555(y, out);
            break;
        default:
            converter.packIndices(y, out);
    }
}

// Everything but the pixel array.
void fillHeaders(const Picture& picture, const RowConverter& converter, BmpImage& bmp) {
    const int bpp = picture.bitsPerPixel;
    const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    bmp.colourTable.assign(size_t(colours) * 4, 0);
    for (uint32_t i = 0; i < colours; ++i) {
        const PaletteEntry c = converter.paletteEntry(i);
        bmp.colourTable[i * 4] = c.blue;
        bmp.colourTable[i * 4 + 1] = c.green;
        bmp.colourTable[i * 4 + 2] = c.red;
    }
    const uint32_t offBits = 54 + colours * 4;
    const uint32_t sizeImage = uint32_t(bmpStride(picture) * uint32_t(picture.height));
    uint8_t* f = bmp.fileHeader;
    f[0] = 'B';
    f[1] = 'M';
    put32(f + 2, offBits + sizeImage);
    put32(f + 10, offBits);
    uint8_t* i = bmp.infoHeader;
    put32(i, 40);
    put32(i + 4, uint32_t(picture.width));
    put32(i + 8, uint32_t(picture.height));
    put16(i + 12, 1);
    put16(i + 14, uint32_t(bpp));
    put32(i + 16, 0);
    put32(i + 20, sizeImage);
    const uint32_t density = pixelsPerMetre(picture);
    put32(i + 24, density);
    put32(i + 28, density);
    put32(i + 32, colours);
}

}  // namespace

BmpImage makeBmp(const Picture& picture) {
    BmpImage bmp;
    const RowConverter converter(picture);
    fillHeaders(picture, converter, bmp);
    const size_t stride = bmpStride(picture);
    const int height = picture.height;
    bmp.pixels.assign(stride * size_t(height), 0);
    for (int y = 0; y < height; ++y)
        bmpRow(picture, converter, y, bmp.pixels.data() + size_t(height - 1 - y) * stride);
    return bmp;
}

void saveBmp(const Picture& picture, const std::string& path) {
    OutputFile file(path);
    writePicture(picture, SaveFormat::Bmp, file, {});
}

void writeBmp(const Picture& picture, ByteSink& sink) {
    // Rows go out in blocks as they are converted: the file is never held whole.
    constexpr size_t kBlockBytes = 256 * 1024;
    BmpImage bmp;
    std::vector<uint8_t> block;
    const size_t stride = bmpStride(picture);
    const size_t rowsPerBlock = std::max<size_t>(1, kBlockBytes / stride);
    try {
        const RowConverter converter(picture);
        fillHeaders(picture, converter, bmp);
        block.resize(stride * rowsPerBlock);
        sink.writeAll(bmp.fileHeader, sizeof bmp.fileHeader);
        sink.writeAll(bmp.infoHeader, sizeof bmp.infoHeader);
        sink.writeAll(bmp.colourTable.data(), bmp.colourTable.size());
        for (int y = picture.height - 1; y >= 0;) {
            size_t rows = 0;
            std::fill(block.begin(), block.end(), 0);
            for (; rows < rowsPerBlock && y >= 0; ++rows, --y)
                bmpRow(picture, converter, y, block.data() + rows * stride);
            sink.writeAll(block.data(), rows * stride);
        }
    } catch (const std::bad_alloc&) {
        throw KvrError(text::kNoResources, {});
    }
}

}  // namespace kvr
