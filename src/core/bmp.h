#pragma once
// BMP files: BITMAPFILEHEADER + BITMAPINFOHEADER (BI_RGB), colour table, rows bottom-up.
#include <cstdint>
#include <string>
#include <vector>

#include "base/picture.h"

namespace kvr {

class ByteSink;

// The bytes of the file, in the four pieces that are written one after the other.
struct BmpImage {
    uint8_t fileHeader[14] = {};
    uint8_t infoHeader[40] = {};
    std::vector<uint8_t> colourTable;  // 4 bytes an entry: blue, green, red, 0
    std::vector<uint8_t> pixels;       // stride × height, bottom row first
};

// Converts the picture; it is not changed. The bit count is the picture's own (16 becomes 5-5-5).
BmpImage makeBmp(const Picture& picture);

// The file, rows streamed into the sink in blocks as they are converted (a non-empty picture).
void writeBmp(const Picture& picture, ByteSink& sink);
// Creates the file, then writes the picture (nothing for an empty picture: a 0-byte file).
void saveBmp(const Picture& picture, const std::string& path);

}  // namespace kvr
