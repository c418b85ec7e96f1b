#pragma once
// Reading back the JPEG files we write: the markers one by one, and the pixels through libjpeg.
#include <cstdint>
#include <string>
#include <vector>

namespace kvr::test {

struct JpegSegment {
    uint8_t marker = 0;            // the byte after 0xFF
    std::vector<uint8_t> payload;  // without the length bytes
};

struct JpegLayout {
    std::vector<JpegSegment> segments;  // SOI ... SOS, in file order
    std::vector<uint8_t> entropy;       // scan data up to EOI
    bool endsWithEoi = false;
};

JpegLayout parseJpeg(const std::vector<uint8_t>& file);

struct Decoded {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> pixels;  // RGB or grey, top row first
};
// Throws std::runtime_error when the file is not a whole, valid JPEG.
Decoded decodeJpeg(const std::vector<uint8_t>& file);

// The quantisation table libjpeg must write for a quality: Annex K base tables scaled, in
// zigzag order.
std::vector<uint8_t> expectedQuantTable(bool chroma, int quality);

}  // namespace kvr::test
