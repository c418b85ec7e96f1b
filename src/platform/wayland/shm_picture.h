#pragma once
// A frame of a wl_shm buffer as a Picture: whole-byte formats are read in place, 10-bit ones
// are brought to 8 bits a channel, an upside-down buffer (y-invert) is turned over, and a rotated
// or mirrored output's buffer is turned back upright. Pure functions: no display needed.
#include <cstdint>
#include <memory>
#include <string>

#include "base/picture.h"

namespace kvr {

struct ShmFrame {
    const uint8_t* pixels = nullptr;
    std::shared_ptr<const void> owner;  // keeps `pixels` alive while a picture points into them
    uint32_t format = 0;                // a wl_shm format code
    uint32_t width = 0, height = 0, stride = 0;
    bool yInvert = false;   // bottom row first
    int32_t transform = 0;  // the output's wl_output transform (0 normal ... 7 flipped-270)
};

bool shmFormatSupported(uint32_t format);
// The fourcc of a wl_shm format, for messages ("XR24", "AB30", ...).
std::string shmFormatName(uint32_t format);

// Throws KvrError(kUnsupportedPixelFormat) for a format shmFormatSupported refuses.
Picture pictureFromShm(const ShmFrame& frame);

}  // namespace kvr
