#pragma once
// Reading back the PNG files we write, through libpng: a decoder that is not our encoder.
#include <cstdint>
#include <string>
#include <vector>

namespace kvr::test {

struct DecodedPng {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = 0;           // 0 grey, 2 true colour, 3 palette, 6 true colour with alpha
    std::vector<uint16_t> rgb;    // three values a pixel, top row first, at the file's depth
    std::vector<uint16_t> alpha;  // one a pixel with colour type 6, else empty
    uint32_t pixelsPerMetre = 0;  // from pHYs; 0 without one
    bool srgb = false;
};

// Throws std::runtime_error when libpng refuses the file (or any part of it).
DecodedPng decodePng(const std::string& path);

}  // namespace kvr::test
