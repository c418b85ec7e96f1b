#pragma once
// The countdown's badge: the seconds left in large digits, in a small box at a corner of the
// monitor that will be taken. The digits are seven-segment shapes made of rectangles, so every
// way of drawing it (plain Xlib included) needs no font.
#include <cstdint>
#include <vector>

#include "base/screen.h"

namespace kvr {

// The program's colours (0xRRGGBB): its dark blue, white digits, a white ring and a dark edge
// outside it, so the box stands out on light and dark screens alike.
inline constexpr uint32_t kBadgeEdge = 0x0b1230;
inline constexpr uint32_t kBadgeRing = 0xffffff;
inline constexpr uint32_t kBadgeFill = 0x1c3c8c;
inline constexpr uint32_t kBadgeDigits = 0xffffff;

struct BadgeShape {
    int width = 0;
    int height = 0;
    ScreenRect ring;                 // inside the 1-pixel edge; the fill lies inside the ring
    ScreenRect fill;                 // the box's inside
    std::vector<ScreenRect> digits;  // the lit segments, in the box's coordinates
};

// The badge of a number of seconds (0 and up) with digits of that height in pixels.
BadgeShape badgeShape(int seconds, int digitHeight);

// The digits' height on a screen of that density: 48 pixels at 96 dpi.
int badgeDigitHeight(double dpi);

// Where the badge stands: the monitor's top-right corner, a little in from its edges.
ScreenRect badgePlace(const ScreenRect& monitor, const BadgeShape& shape);

// One countdown's badge on screen. show() puts it up or changes its number; remove() takes it off
// and returns once the screen has shown a frame without it, or once that cannot be known and a
// wait long enough for any compositor has passed.
class CountdownBadge {
public:
    virtual ~CountdownBadge() = default;
    virtual void show(int seconds) = 0;
    virtual void remove() = 0;
};

}  // namespace kvr
