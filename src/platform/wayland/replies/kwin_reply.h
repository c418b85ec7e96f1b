#pragma once
// KWin's replies (a{sv} maps over D-Bus) read into what the KWin source needs. Pure functions of
// the maps: every number is range-checked before any arithmetic.
#include <QVariantMap>
#include <cstddef>
#include <optional>

#include "base/screen.h"

namespace kvr {

// The pixels ScreenShot2 announces: their QImage format and layout, and the bytes to read from
// its pipe (stride times height, within the cap on a peer's picture).
struct KWinPixelLayout {
    int width = 0;
    int height = 0;
    size_t stride = 0;
    int format = 0;  // a QImage::Format
    size_t bytes = 0;
};

// Nothing when a number is missing, not a number, out of range, or the rows would not hold the
// width's pixels.
std::optional<KWinPixelLayout> kwinPixelLayout(const QVariantMap& meta);

// A window's frame from getWindowInfo (x, y, width, height in fractional layout pixels), its
// edges rounded outwards. Nothing for a missing, NaN, infinite or out-of-range number, or an
// empty frame.
std::optional<ScreenRect> kwinWindowFrame(const QVariantMap& info);

}  // namespace kvr
